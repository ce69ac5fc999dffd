#pragma once
// The window's pictures: JPEG files embedded as resources, decoded with
// libjpeg.

#include <QByteArray>
#include <QImage>
#include <QPixmap>

namespace tonvale::gui {

// A null image when Data is not a JPEG libjpeg can decode.
QImage DecodeJpeg(const QByteArray& Data);
// "background", "banner", "icon" or "donate".
QPixmap Picture(const char* Name);

}  // namespace tonvale::gui
