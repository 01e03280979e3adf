#include "SlicePreview.h"

#include <QPainterPath>

void paintSlicePreview(QPainter& painter, const SlicePreviewLayer& what, const SliceLayers& model,
                       const SliceLayers& supports)
{
    if (what.xResolution <= 0 || what.yResolution <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(double(what.previewSize.width()) / what.xResolution,
                  double(what.previewSize.height()) / what.yResolution);
    paintSliceLayer(painter, what, model, supports);
    painter.restore();
}

void paintSliceLayer(QPainter& painter, const SlicePreviewLayer& what, const SliceLayers& model,
                     const SliceLayers& supports)
{
    if (what.xResolution <= 0 || what.yResolution <= 0)
        return;
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.fillRect(QRectF(0, 0, what.xResolution, what.yResolution), Qt::black);
    if (what.drawLayer && what.layer >= 0) {
        painter.setBrush(Qt::white);
        QPainterPath modelPath;
        modelPath.setFillRule(Qt::OddEvenFill);
        if (what.layer < model.size())
            for (const QPolygonF& poly : model.at(what.layer))
                if (!poly.isEmpty())
                    modelPath.addPolygon(poly), modelPath.closeSubpath();
        if (what.layer < supports.size())
            for (const QPolygonF& poly : supports.at(what.layer)) {
                if (poly.isEmpty())
                    continue;
                QPainterPath p;
                p.addPolygon(poly);
                p.closeSubpath();
                painter.drawPath(p);
            }
        painter.drawPath(modelPath);
    }
    painter.restore();
}
