#pragma once

#include "projectorlayersource.h"
#include "ui_frmDLP.h"

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

// The projector's full-screen window during a direct print: each layer is
// painted white on black, anti-aliased, then corrected pixel by pixel so the
// light reaching the resin is even (tables from frmDLP_init). It can also show
// a picture, uncorrected.
//
// Threads: everything runs on the GUI thread except m_layer, which the print
// thread may set, and requestRepaint, which it may call.
class frmDLP : public QWidget
{
    Q_OBJECT

public:
    explicit frmDLP(QWidget* parent = nullptr);
    ~frmDLP() override;

    // Rebuilds the correction tables from "GreyTestFinal.dat", the printer's
    // light-engine data (or "machine.dat") in the data folder. Returns whether
    // complete tables are in place, this run's or an earlier complete run's;
    // without them the window stays black and no print may start.
    bool frmDLP_init(int greyStart, float layerThickness, float dp, int width, int height);
    void setPenSelect(int w);

    // "<job dir>\<job>\<job>-<n>.png"
    QString ShowImageName(int n) const;

    // Moves the window to the projector's top-left corner and shows it full screen.
    void showOnProjector();
    // Any thread: asks the GUI thread to repaint.
    void requestRepaint();

    // Paints the current layer into the layer image and corrects it, as a
    // repaint does; null while no complete tables exist.
    const QImage* renderLayerImage();

    // Where the data files are read; empty means the working directory.
    void setDataFolder(const QString& folder);
    // Shows a failure to the user (title, text); empty restores the message box.
    using Reporter = std::function<void(const QString& title, const QString& text)>;
    void setReporter(Reporter reporter);
    // The projector's top-left corner; empty restores (primary screen width, 0).
    using TargetProvider = std::function<QPoint()>;
    void setTargetProvider(TargetProvider provider);

    bool hasTables() const { return m_layerImage != nullptr; }
    // Why the last frmDLP_init left no complete tables; empty when it did.
    const QString& lastProblem() const { return m_lastProblem; }
    bool lightDataSeen() const { return m_lightDataSeen; }
    int penWidth() const { return m_penWidth; }
    const QString& picturePath() const { return m_picturePath; }
    const std::vector<float>& greyCurve() const { return m_greyCurve; }
    const std::vector<uint8_t>& greyLut() const { return m_greyLut; }
    const std::vector<float>& pixelGain() const { return m_pixelGain; }
    const std::vector<uint8_t>& pixelWhite() const { return m_pixelWhite; }
    const QImage* layerImage() const { return m_layerImage.get(); }

    // Set by their users: the main window at each print start, the print
    // loop (m_layer only) for each layer.
    std::atomic<int> m_layer{-1};  // -1 dark frame, -2 picture, 0.. a layer
    ProjectorLayerSource* m_view = nullptr;  // not owned
    QString m_jobDir;
    QString m_jobName;

    int m_width = 0;   // projector size
    int m_height = 0;

public slots:
    void slot_showImage(QString fileName);

protected:
    void paintEvent(QPaintEvent* event) override;

    void paint(QPainter& painter);
    void paintX(QPainter& painter, int sub);
    void setPen(QPainter& painter);
    void paintImage(QPainter& painter);

private:
    void drawLayer(QPainter& painter, int layer);
    void correctLayerImage();
    QString dataFile(const QString& name) const;
    void report(const QString& title, const QString& text);
    QPoint projectorTarget() const;

    int m_penWidth = 0;
    QString m_picturePath;
    std::vector<float> m_pixelGain;
    std::vector<uint8_t> m_pixelWhite;
    std::vector<float> m_greyCurve;
    std::unique_ptr<QImage> m_layerImage;  // Grayscale8, light grid size
    bool m_lightDataSeen = false;
    float m_layerThickness = 0;
    std::vector<uint8_t> m_greyLut;

    QString m_dataFolder;
    QString m_lastProblem;
    Reporter m_reporter;
    TargetProvider m_targetProvider;
    Ui_frmDLP ui;
};
