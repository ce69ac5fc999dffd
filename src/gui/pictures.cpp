#include "gui/pictures.h"

#include <QFile>
#include <QGuiApplication>
#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

// The pictures are compiled into a static library: their resource is
// registered by hand before the first use.
static void RegisterPictures() { Q_INIT_RESOURCE(pictures); }

namespace tonvale::gui {
namespace {

struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
};

void OnJpegError(j_common_ptr Info) { std::longjmp(reinterpret_cast<TJpegError*>(Info->err)->Jump, 1); }

}  // namespace

QImage DecodeJpeg(const QByteArray& Data) {
  jpeg_decompress_struct info{};
  TJpegError error{};
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = OnJpegError;
  QImage image;
  if (setjmp(error.Jump)) {
    jpeg_destroy_decompress(&info);
    return {};
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(Data.constData()),
               static_cast<unsigned long>(Data.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return {};
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), QImage::Format_RGB888);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return image;
}

QPixmap Picture(const char* Name) {
  static const bool registered = (RegisterPictures(), true);
  (void)registered;
  // On a screen of a higher device pixel ratio the picture drawn at twice
  // the size, shown at the same logical size.
  const bool sharp = qApp && qApp->devicePixelRatio() > 1.0;
  QFile file(QString(":/pictures/%1%2.jpg").arg(Name, sharp ? "@2x" : ""));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QPixmap picture = QPixmap::fromImage(DecodeJpeg(file.readAll()));
  picture.setDevicePixelRatio(sharp ? 2.0 : 1.0);
  return picture;
}

}  // namespace tonvale::gui
