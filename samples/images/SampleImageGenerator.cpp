// Writes the sample bitmaps of this folder. Built only on request:
//   cmake --build <build> --target gavrel_sample_image_generator
//   <build>/samples/images/gavrel_sample_image_generator samples/images

// Standard library
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

// Qt
#include <QDir>
#include <QString>

// Ours
#include "KeshFileAccess.h"
#include "KeshImage.h"

namespace {

struct Disc {
    int centerX;
    int centerY;
    int radius;
    int level;

    bool covers(int x, int y) const {
        const int dx = x - centerX;
        const int dy = y - centerY;
        return dx * dx + dy * dy <= radius * radius;
    }
};

KeshImage grey(int width, int height, const std::function<int(int, int)>& level) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint8_t>(level(x, y));
        }
    }
    KeshImage image;
    image.assign(width, height, 8, KeshImage::Grey, std::move(pixels));
    return image;
}

std::function<int(int, int)> discsOn(int background, std::vector<Disc> discs) {
    return [background, discs](int x, int y) {
        for (const Disc& disc : discs) {
            if (disc.covers(x, y)) {
                return disc.level;
            }
        }
        return background;
    };
}

// Eight vertical bars: white, yellow, cyan, green, magenta, red, blue, black.
KeshImage colourBars(int width, int height) {
    static const std::uint8_t bars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255},
                                            {0, 255, 0},     {255, 0, 255}, {255, 0, 0},
                                            {0, 0, 255},     {0, 0, 0}};
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* rgb = bars[x * 8 / width];
            std::uint8_t* p = pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
            p[0] = rgb[2];
            p[1] = rgb[1];
            p[2] = rgb[0];
        }
    }
    KeshImage image;
    image.assign(width, height, 24, KeshImage::Rgb, std::move(pixels));
    return image;
}

bool save(const QDir& folder, const char* name, const KeshImage& image) {
    KeshFileAccess access;
    access.setFileName(folder.filePath(QString::fromLatin1(name)));
    access.write(image);
    if (access.errorCode() != KeshFileAccess::Ok) {
        std::fprintf(stderr, "%s: error %d\n", name, access.errorCode());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const int w = KeshImage::kDefaultWidth;
    const int h = KeshImage::kDefaultHeight;
    const Disc startCircle{100, 100, 60, 200}; // covers the program's first circle (r 50)

    bool ok = true;
    ok &= save(folder, "flat-128_512x480_grey8.bmp", grey(w, h, [](int, int) { return 128; }));
    ok &= save(
        folder, "gradient-0-left-to-255-right_512x480_grey8.bmp",
        grey(w, h, [w](int x, int) { return static_cast<int>(std::lround(x * 255.0 / (w - 1))); }));
    ok &= save(folder, "disc-200-at-100-100-radius-60-on-50_512x480_grey8.bmp",
               grey(w, h, discsOn(50, {startCircle})));
    ok &= save(
        folder, "discs-64-128-192-radius-60-on-32_512x480_grey8.bmp",
        grey(w, h, discsOn(32, {{128, 240, 60, 64}, {256, 240, 60, 128}, {384, 240, 60, 192}})));
    // Patch n (row by row from the top left) has level round(n * 255 / 47).
    ok &= save(folder, "test-chart-8x6-patches-0-to-255_512x480_grey8.bmp",
               grey(w, h, [](int x, int y) {
                   const int patch = (y / 80) * 8 + x / 64;
                   return static_cast<int>(std::lround(patch * 255.0 / 47));
               }));
    ok &= save(folder, "wrong-size-640x480_grey8.bmp",
               grey(640, h, [](int x, int) { return x * 255 / 639; }));
    ok &= save(folder, "wrong-size-512x512_grey8.bmp", grey(w, 512, [&](int x, int y) {
                   return y >= h ? 255 : discsOn(50, {startCircle})(x, y);
               }));
    ok &= save(folder, "wrong-format-colour-bars_512x480_rgb24.bmp", colourBars(w, h));
    return ok ? 0 : 1;
}
