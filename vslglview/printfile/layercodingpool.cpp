#include "printfile/layercodingpool.h"

#include "printfile/archivemember.h"
#include "printfile/runlength.h"
#include "mesh/workerpriority.h"

#include <QPainter>
#include <QtGlobal>

LayerCodingPool::LayerCodingPool(const Settings& settings, int threadCount, int window)
    : m_settings(settings), m_window(qMax(1, window))
{
    const int n = qMax(1, threadCount);
    m_threads.reserve(n);
    for (int i = 0; i < n; ++i)
        m_threads.emplace_back([this] { work(); });
}

LayerCodingPool::~LayerCodingPool()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_waiting.clear();
    }
    m_jobReady.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

bool LayerCodingPool::isFull() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_inOrder.size()) >= m_window;
}

bool LayerCodingPool::hasPending() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_inOrder.empty();
}

qint64 LayerCodingPool::peakBytesInFlight() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_peakInFlight;
}

void LayerCodingPool::setInFlight(qint64 bytes)
{
    m_inFlight = bytes;
    m_peakInFlight = qMax(m_peakInFlight, bytes);
    if (m_settings.inFlightObserver)
        m_settings.inFlightObserver(bytes);
}

bool LayerCodingPool::canStartFront() const
{
    // Layers start in order, so when the oldest untaken layer waits nothing
    // is in flight and it may start: the writer can always go on.
    return !m_waiting.empty() && (m_inFlight == 0 || m_inFlight + m_waiting.front()->cost <= m_settings.byteBudget);
}

void LayerCodingPool::submit(int layer, QByteArray imageBytes)
{
    auto job = std::make_shared<Job>();
    job->layer = layer;
    job->cost = estimateLayerBytes(imageBytes, m_settings);
    job->bytes = std::move(imageBytes);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_inOrder.push_back(job);
        m_waiting.push_back(job);
    }
    m_jobReady.notify_one();
}

LayerCodingPool::Result LayerCodingPool::takeNext()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_inOrder.empty())
        return Result();
    std::shared_ptr<Job> job = m_inOrder.front();
    m_jobDone.wait(lock, [&] { return job->done; });
    m_inOrder.pop_front();
    setInFlight(m_inFlight - job->cost);
    Result result = std::move(job->result);
    lock.unlock();
    m_jobReady.notify_all();
    return result;
}

void LayerCodingPool::work()
{
    vcg::LowerThisThreadPriority();
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_jobReady.wait(lock, [&] { return m_stop || canStartFront(); });
            if (m_stop)
                return;
            job = m_waiting.front();
            m_waiting.pop_front();
            setInFlight(m_inFlight + job->cost);
        }
        Result result = codeLayer(job->layer, job->bytes, m_settings);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            job->bytes = QByteArray();
            job->result = std::move(result);
            job->done = true;
        }
        m_jobDone.notify_all();
    }
}

LayerCodingPool::Result LayerCodingPool::codeLayer(int layer, const QByteArray& imageBytes,
                                                   const Settings& settings)
{
    Result r;
    r.layer = layer;
    if (settings.sourceFrame.isValid()) {
        const QSize size = ArchiveImageSize(imageBytes);
        if (ArchiveImageSizeProblem(size).isEmpty() && size != settings.sourceFrame) {
            r.wrongFrame = true;
            r.sourceSize = size;
            return r;
        }
    }
    QImage image;
    if (!DecodeArchiveImage(imageBytes, image, r.error, settings.byteBudget))
        return r;
    if (image.hasAlphaChannel()) {
        // A transparent pixel is unlit, whatever colour it carries.
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::black);
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        painter.end();
        image = flat;
    }
    if (settings.scaleTo.isValid() && image.size() != settings.scaleTo)
        image = image.scaled(settings.scaleTo, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    r.grey = image.convertToFormat(QImage::Format_Grayscale8);
    if (r.grey.isNull() || !EncodeRunLength(r.grey, settings.bitsPerPixel, r.code)) {
        r.error = QStringLiteral("image cannot be converted to grey levels");
        r.grey = QImage();
        return r;
    }
    r.ok = true;
    return r;
}

qint64 LayerCodingPool::estimateLayerBytes(const QByteArray& imageBytes, const Settings& settings)
{
    // From the PNG header alone: no image plugin sees the data to size it.
    PngHeader header;
    QString error;
    if (!ReadPngHeader(imageBytes, header, error) || !ArchiveImageSizeProblem(header.size).isEmpty())
        return settings.byteBudget;
    const qint64 pixels = qint64(header.size.width()) * header.size.height();
    qint64 bytes = PngDecodedBytes(header);      // decoded
    const qint64 depth = bytes / pixels;           // bytes a pixel
    bytes = PngReaderBytes(header);               // and what decoding holds beside
    if (PngHasAlpha(header))
        bytes += 2 * pixels * 4;                  // black frame and a converted copy while painting
    qint64 outPixels = pixels;
    if (settings.scaleTo.isValid() && header.size != settings.scaleTo) {
        outPixels = qint64(settings.scaleTo.width()) * settings.scaleTo.height();
        if (depth < 4)
            bytes += pixels * 4;                  // smooth scaling works on 32-bit pixels
        bytes += outPixels * qMax<qint64>(4, depth); // scaled copy
    }
    bytes += outPixels * 4;                       // an intermediate of the grey conversion
    bytes += outPixels;                           // grey image
    bytes += 2 * outPixels;                       // run-length code, at most a byte a pixel, and its growth
    return bytes;
}
