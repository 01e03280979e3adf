#include "frmDLP.h"

#include "dlpserialport.h"
#include "lightcorrection.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

// The data files are a few lines; a larger file is not ours and is cut.
constexpr qint64 kGreyFileLimit = 1 << 20;
constexpr qint64 kMachineFileLimit = 16 << 20;

bool readFile(const QString& path, qint64 limit, QByteArray& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    out = file.read(limit);
    return true;
}

// Polygons joined into groups whose outlines (pen width wide, anti-aliased)
// may touch a common pixel of a width x height image; a group keeps its
// polygons in layer order. Each edge marks the coarse cells its outline can
// reach; polygons meeting in a cell share a group (more than needed at
// times, never less).
QVector<QPainterPath> outlineGroups(const QVector<SlicePolygon>& polygons, qreal penWidth, int width, int height)
{
    constexpr int kCell = 4;
    const int cols = std::max(1, (width + kCell - 1) / kCell), rows = std::max(1, (height + kCell - 1) / kCell);
    const qreal reach = penWidth / 2 + 1;
    std::vector<int> cellOwner(size_t(cols) * size_t(rows), -1);
    std::vector<int> parent(size_t(polygons.size()));
    for (size_t n = 0; n < parent.size(); ++n)
        parent[n] = int(n);
    auto root = [&parent](int n) {
        while (parent[size_t(n)] != n)
            n = parent[size_t(n)] = parent[size_t(parent[size_t(n)])];
        return n;
    };
    auto cellOf = [](qreal v, int count) {
        // Off the image (or not a number) lands on the border cells.
        const qreal c = std::floor(v / kCell);
        return c >= 0 ? (c < count ? int(c) : count - 1) : 0;
    };
    auto mark = [&](int polygon, QPointF a, QPointF b) {
        const int c0 = cellOf(std::min(a.x(), b.x()) - reach, cols), c1 = cellOf(std::max(a.x(), b.x()) + reach, cols);
        const int r0 = cellOf(std::min(a.y(), b.y()) - reach, rows), r1 = cellOf(std::max(a.y(), b.y()) + reach, rows);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) {
                int& owner = cellOwner[size_t(r) * size_t(cols) + size_t(c)];
                if (owner < 0)
                    owner = polygon;
                else
                    parent[size_t(root(owner))] = root(polygon);
            }
    };
    for (int n = 0; n < polygons.size(); ++n) {
        const SlicePolygon& polygon = polygons[n];
        for (int k = 0; k < polygon.size(); ++k) {
            const QPointF a = polygon[k], b = polygon[(k + 1) % polygon.size()];
            // A long slanting edge marks its cells piece by piece, not its whole box.
            const qreal length = std::max(std::abs(b.x() - a.x()), std::abs(b.y() - a.y()));
            const int pieces = length > kCell ? int(std::min(length / kCell, 4.0 * (cols + rows))) + 1 : 1;
            for (int p = 0; p < pieces; ++p)
                mark(n, a + (b - a) * (qreal(p) / pieces), a + (b - a) * (qreal(p + 1) / pieces));
        }
    }
    QVector<QPainterPath> groups;
    std::vector<int> groupOf(parent.size(), -1);
    for (int n = 0; n < polygons.size(); ++n) {
        if (polygons[n].isEmpty())
            continue;
        int& g = groupOf[size_t(root(n))];
        if (g < 0) {
            g = groups.size();
            groups.append(QPainterPath());
        }
        groups[g].addPolygon(polygons[n]);
        groups[g].closeSubpath();
    }
    return groups;
}

}  // namespace

frmDLP::frmDLP(QWidget* parent)
    : QWidget(parent)
{
    ui.setupUi(this);
    // Black wherever no layer image or picture reaches.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
}

frmDLP::~frmDLP() = default;

void frmDLP::setDataFolder(const QString& folder)
{
    m_dataFolder = folder;
}

void frmDLP::setReporter(Reporter reporter)
{
    m_reporter = std::move(reporter);
}

void frmDLP::setTargetProvider(TargetProvider provider)
{
    m_targetProvider = std::move(provider);
}

QString frmDLP::dataFile(const QString& name) const
{
    return m_dataFolder.isEmpty() ? name : QDir(m_dataFolder).filePath(name);
}

void frmDLP::report(const QString& title, const QString& text)
{
    if (m_reporter)
        m_reporter(title, text);
    else
        QMessageBox::critical(this, title, text, QMessageBox::Ok);
}

QPoint frmDLP::projectorTarget() const
{
    if (m_targetProvider)
        return m_targetProvider();
    const QScreen* primary = QGuiApplication::primaryScreen();
    return QPoint(primary ? primary->geometry().width() : 0, 0);
}

bool frmDLP::frmDLP_init(int greyStart, float layerThickness, float dp, int width, int height)
{
    Q_UNUSED(dp);
    m_picturePath = QString();
    m_layerThickness = layerThickness;
    m_lastProblem.clear();
    // Tables of an earlier run serve only a projector of the same size.
    auto keepEarlier = [&](const QString& problem) {
        m_lastProblem = problem;
        return hasTables() && m_layerImage->width() == width && m_layerImage->height() == height;
    };

    QByteArray greyText;
    if (!readFile(dataFile(QStringLiteral("GreyTestFinal.dat")), kGreyFileLimit, greyText)) {
        report(tr("Error!"), tr("GreyTestFinal data file missing!"));
        return keepEarlier(tr("GreyTestFinal data file missing!"));
    }
    m_width = width;
    m_height = height;

    // Light items: a copy of the printer's reply, completed from "machine.dat"
    // when the reply is too short to hold them.
    const QList<QByteArray> reply = DlpSerialPort::lightEnginePara;
    std::optional<QList<QByteArray>> items;
    bool machineFileMissing = false;
    if (lightItemsNeedMachineFile(reply.size())) {
        QByteArray machineText;
        if (readFile(dataFile(QStringLiteral("machine.dat")), kMachineFileLimit, machineText))
            items = lightItemsFromReply(reply, machineText);
        else
            machineFileMissing = true;
    } else if (!reply.isEmpty()) {
        items = lightItemsFromReply(reply);
    }

    LightCorrection tables = buildLightCorrection(greyStart, greyText.split('\n'), items, QSize(width, height));
    m_greyCurve = std::move(tables.greyCurve);
    m_greyLut = std::move(tables.greyLut);
    for (int v = 0; v <= 1000; ++v)
        qDebug() << "Grey:" << v / 1000.0 << "->" << m_greyLut[size_t(v)];

    if (reply.isEmpty()) {
        qDebug().noquote() << tr("No Light Engine Parameters Loaded!");
        return keepEarlier(tr("No Light Engine Parameters Loaded!"));
    }
    if (machineFileMissing) {
        if (!m_lightDataSeen)
            report(tr("Error!"), tr("Machine data file missing!"));
        return keepEarlier(tr("Machine data file missing!"));
    }
    if (tables.status != LightCorrection::Complete) {
        // Refused before any per-pixel table changed: the last complete
        // tables stay in use.
        const QString text = tr("Light engine data invalid: %1").arg(tables.problem);
        if (!m_lightDataSeen)
            report(tr("Error!"), text);
        else
            qDebug().noquote() << text;
        return keepEarlier(text);
    }

    auto image = std::make_unique<QImage>(tables.width, tables.height, QImage::Format_Grayscale8);
    if (image->isNull()) {  // no memory for it: keep what works
        const QString text = tr("No memory for a %1 x %2 layer image").arg(tables.width).arg(tables.height);
        qDebug().noquote() << text;
        return keepEarlier(text);
    }
    image->fill(0);
    m_lightDataSeen = true;
    m_pixelGain = std::move(tables.pixelGain);
    m_pixelWhite = std::move(tables.pixelWhite);
    m_layerImage = std::move(image);

    qDebug().noquote() << QStringLiteral("Target(%1)").arg(double(tables.target));
    for (float x : tables.xs)
        qDebug() << x;
    for (float y : tables.ys)
        qDebug() << y;
    for (int i = 1; i <= tables.nx; ++i)
        for (int j = 1; j <= tables.ny; ++j)
            qDebug().noquote() << QStringLiteral("point(%1,%2)").arg(i).arg(j) << tables.gridAt(i, j);
    return true;
}

void frmDLP::setPenSelect(int w)
{
    m_penWidth = w;
}

QString frmDLP::ShowImageName(int n) const
{
    return m_jobDir + QLatin1Char('\\') + m_jobName + QLatin1Char('\\') + m_jobName + QLatin1Char('-')
           + QString::number(n) + QStringLiteral(".png");
}

void frmDLP::showOnProjector()
{
    const QPoint target = projectorTarget();
    move(target);
    // Without a window manager the full-screen state alone does not cover
    // the screen: take its geometry as well.
    if (const QScreen* screen = QGuiApplication::screenAt(target))
        setGeometry(screen->geometry());
    else if (m_width > 0 && m_height > 0)
        // A projector the window system does not list (yet, right after the
        // desktop was extended): cover the projector's own size, or only a
        // corner of each layer would be exposed.
        setGeometry(QRect(target, QSize(m_width, m_height)));
    showFullScreen();
    show();
}

void frmDLP::requestRepaint()
{
    QMetaObject::invokeMethod(this, [this] { update(); }, Qt::QueuedConnection);
}

void frmDLP::slot_showImage(QString fileName)
{
    if (fileName.isNull()) {
        m_picturePath = QString();
        close();
        return;
    }
    m_picturePath = fileName;
    m_layer = -2;
    update();
    showOnProjector();
}

void frmDLP::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_picturePath.isNull()) {
        painter.setRenderHint(QPainter::Antialiasing);
        paintImage(painter);
        return;
    }
    // The background is black; without tables nothing is exposed.
    if (const QImage* image = renderLayerImage())
        painter.drawImage(0, 0, *image);
}

const QImage* frmDLP::renderLayerImage()
{
    if (!m_layerImage)
        return nullptr;
    // The whole image, not only the projector's size: nothing of an earlier
    // layer may be exposed again where the light grid is the larger.
    m_layerImage->fill(0);
    if (m_layer >= 0) {
        QPainter painter(m_layerImage.get());
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
        painter.end();
        correctLayerImage();
    }
    return m_layerImage.get();
}

void frmDLP::correctLayerImage()
{
    QImage& image = *m_layerImage;
    const int W = image.width();
    const int H = image.height();
    const float* curve = m_greyCurve.data();
    const uint8_t* lut = m_greyLut.data();
    for (int y = 0; y < H; ++y) {
        uint8_t* row = image.scanLine(y);
        const float* gain = m_pixelGain.data() + size_t(y) * size_t(W);
        const uint8_t* white = m_pixelWhite.data() + size_t(y) * size_t(W);
        int x = 0;
        while (x < W) {
            // Most of a layer is dark and most of the rest fully lit: take
            // both eight pixels at a time.
            if (x + 8 <= W) {
                uint64_t eight;
                std::memcpy(&eight, row + x, 8);
                if (eight == 0) {
                    x += 8;
                    continue;
                }
                if (eight == ~uint64_t(0)) {
                    std::memcpy(row + x, white + x, 8);
                    x += 8;
                    continue;
                }
            }
            const int end = std::min(x + 8, W);
            for (; x < end; ++x) {
                const uint8_t v = row[x];
                if (v == 255)
                    row[x] = white[x];
                else if (v != 0)
                    row[x] = correctedGrey(v, gain[x], white[x], curve, lut);
            }
        }
    }
}

void frmDLP::setPen(QPainter& painter)
{
    if (m_penWidth >= 1 && m_penWidth <= 4)
        painter.setPen(QPen(QBrush(Qt::black), qreal(m_penWidth), Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    else
        painter.setPen(Qt::NoPen);
}

void frmDLP::paint(QPainter& painter)
{
    // The black frame: the caller has cleared the whole layer image.
    setPen(painter);
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    drawLayer(painter, m_layer);
}

void frmDLP::paintX(QPainter& painter, int sub)
{
    setPen(painter);
    painter.fillRect(QRect(0, 0, m_width, m_height), Qt::black);
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    const int layer = m_layer;
    if (layer < 0)
        return;
    if (0.3 / double(m_layerThickness) >= layer) {
        painter.fillRect(QRect(0, 0, m_width, m_height), Qt::white);
        painter.fillRect(QRect(20, 20, 20, 20), Qt::black);
        return;
    }
    const qint64 index = qint64(layer) * 5 + sub;
    if (index >= 0 && index <= INT_MAX)
        drawLayer(painter, int(index));
}

void frmDLP::drawLayer(QPainter& painter, int layer)
{
    if (layer < 0 || !m_view)
        return;
    const SliceLayers model = m_view->GetSliceData();
    const SliceLayers supports = m_view->GetSliceDataSup();

    // One odd-even path for the model, so nested contours make holes.
    QPainterPath modelPath;
    modelPath.setFillRule(Qt::OddEvenFill);
    if (layer < model.size()) {
        for (const SlicePolygon& polygon : model[layer]) {
            if (polygon.isEmpty())
                continue;
            modelPath.addPolygon(polygon);
            modelPath.closeSubpath();
        }
    }
    if (layer < supports.size()) {
        for (const SlicePolygon& polygon : supports[layer]) {
            if (polygon.isEmpty())
                continue;
            QPainterPath path;
            path.addPolygon(polygon);
            path.closeSubpath();
            painter.drawPath(path);
        }
    }
    if (modelPath.isEmpty())
        return;
    // The outline of the whole path, stroked in groups of polygons whose
    // outlines could share a pixel: groups that share none give exactly the
    // whole path's outline, and Qt strokes one long path of many polygons
    // several times slower than its pieces.
    const QPen pen = painter.pen();
    painter.setPen(Qt::NoPen);
    painter.drawPath(modelPath);
    if (pen.style() == Qt::NoPen)
        return;
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QPaintDevice* device = painter.device();
    for (const QPainterPath& group : outlineGroups(model[layer], pen.widthF(), device->width(), device->height()))
        painter.drawPath(group);
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
}

void frmDLP::paintImage(QPainter& painter)
{
    const QPixmap picture(m_picturePath);
    if (picture.isNull())
        return;
    // Before the first init the projector size is unknown: use the window's.
    const int w = m_width > 0 ? m_width : width();
    const int h = m_height > 0 ? m_height : height();
    painter.drawPixmap(QRect(0, 0, w, h), picture);
}
