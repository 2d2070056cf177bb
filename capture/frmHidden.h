#pragma once

#include <QImage>

// A picture box with a white background: a picture set into it is drawn on white, and
// its image is what the picture saver writes.
class PictureBox {
public:
    void setPicture(const QImage& picture);
    const QImage& image() const { return m_image; }

private:
    QImage m_image;
};

// The form that is never shown and carries the picture box of the conversions. Loaded
// on first use and left loaded; the box keeps the last picture.
class frmHidden {
public:
    static frmHidden& instance();
    PictureBox Picture1;
};
