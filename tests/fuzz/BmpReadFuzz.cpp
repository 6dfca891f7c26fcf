// libFuzzer target for the bitmap read path: any input either fails with a negative code
// or gives a consistent image that can be shown, written and read back unchanged.

// Standard library
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Qt
#include <QByteArray>
#include <QImage>

// Ours
#include "BmpReader.h"
#include "BmpWriter.h"
#include "KeshImage.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray file =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    KeshImage image;
    const KeshImage untouched = image;
    const int code = BmpReader::read(file, image);
    if (code != 0) {
        require(code < 0 && image == untouched);
        return 0;
    }

    require(KeshImage::isValidFormat(image.bitsPerPixel(), image.colorFormat()));
    const QImage shown = image.toQImage();
    require(shown.width() == image.width() && shown.height() == image.height());

    KeshImage again;
    require(BmpReader::read(BmpWriter::encode(image), again) == 0);
    require(again.width() == image.width() && again.height() == image.height());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            require(again.pixelColor(x, y) == image.pixelColor(x, y));
        }
    }
    return 0;
}
