#pragma once
#include <QMatrix4x4>
#include <QString>

// Base of everything drawn in the 3D view. Every painter, of any kind, takes
// the next number of one process-wide counter; the number gives its pick id.
class VSL3DPainter {
public:
    VSL3DPainter();
    virtual ~VSL3DPainter();
    virtual void Render() {}
    virtual void InitDisplayList() {}

    // Pick colour of an id: red = id / 65536, green = (id / 256) % 256,
    // blue = id % 256, each as a fraction of 255. Valid for 0 <= id < 2^24.
    static void CalNumberColor(double* rgb, int id);
    // Uploads an image file (white 500 x 500 when it cannot be read) into the
    // texture object `texture`. Needs a current GL context.
    static void LoadTexture(QString const& file, unsigned int texture);

    int pickId() const { return m_nNumber * 10 + m_nPickOffset; }

    static int ms_PainterCounter;

    int m_nNumber;
    QMatrix4x4 m_matrix;
    int m_nPickOffset = 0;
};
