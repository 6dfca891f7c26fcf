// Standard library
#include <csignal>
#include <cstdint>
#include <functional>
#include <vector>

// Qt
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>

// Ours
#include "BmpBuilder.h"
#include "BmpReader.h"
#include "BmpWriter.h"
#include "KeshFileAccess.h"
#include "KeshImage.h"
#include "ShippedSamples.h"
#include "testutils.h"

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using bmptest::appendU32;
using bmptest::Bmp;
using bmptest::putU16;
using bmptest::putU32;
using testutils::Sandbox;

QList<QRgb> greyRamp(bool inverted = false) {
    QList<QRgb> ramp;
    for (int i = 0; i < 256; ++i) {
        const int level = inverted ? 255 - i : i;
        ramp.append(qRgb(level, level, level));
    }
    return ramp;
}

const QList<QRgb> kColours{
    qRgb(0, 0, 0),    qRgb(250, 0, 0),   qRgb(0, 250, 0),   qRgb(0, 0, 250),
    qRgb(90, 90, 90), qRgb(30, 60, 90),  qRgb(255, 255, 0), qRgb(1, 2, 3),
    qRgb(9, 8, 7),    qRgb(100, 0, 100), qRgb(0, 100, 100), qRgb(200, 200, 200),
    qRgb(17, 34, 51), qRgb(70, 0, 0),    qRgb(0, 70, 0),    qRgb(255, 255, 255)};

int indexAt(int x, int y, int count) {
    return (3 * x + 5 * y) % count;
}

QRgb colourAt(int x, int y) {
    return qRgb(x * 19, y * 70, (x + y) * 11);
}

// Pixel data as a bitmap stores it: rows padded to 4 bytes, bottom row first unless topDown.
QByteArray pixelRows(int width, int height, int bits, bool topDown,
                     const std::function<std::uint32_t(int, int)>& value) {
    const int stride = ((width * bits + 31) / 32) * 4;
    QByteArray data(stride * height, '\0');
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        auto* line = reinterpret_cast<std::uint8_t*>(data.data()) + row * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = value(x, y);
            if (bits >= 24) {
                line[x * bits / 8] = static_cast<std::uint8_t>(qBlue(v));
                line[x * bits / 8 + 1] = static_cast<std::uint8_t>(qGreen(v));
                line[x * bits / 8 + 2] = static_cast<std::uint8_t>(qRed(v));
            } else {
                line[x * bits / 8] |= static_cast<std::uint8_t>(v << (8 - bits - (x * bits) % 8));
            }
        }
    }
    return data;
}

// RLE rows, bottom row first: an absolute run of five pixels (odd, to exercise the
// padding), then encoded runs of up to two pixels, an end of line after every row.
QByteArray rleRows(int width, int height, bool rle4) {
    QByteArray data;
    for (int y = height - 1; y >= 0; --y) {
        data.append('\0');
        data.append('\5');
        QByteArray literal;
        for (int x = 0; x < 5; ++x) {
            const int index = indexAt(x, y, 16);
            if (!rle4) {
                literal.append(static_cast<char>(index));
            } else if (x % 2 == 0) {
                literal.append(static_cast<char>(index << 4));
            } else {
                literal[literal.size() - 1] = static_cast<char>(literal.back() | index);
            }
        }
        data.append(literal);
        if (literal.size() % 2 != 0) {
            data.append('\0');
        }
        for (int x = 5; x < width; x += rle4 ? 2 : 1) {
            const int count = rle4 ? std::min(2, width - x) : 1;
            const int next = count == 2 ? indexAt(x + 1, y, 16) : 0;
            data.append(static_cast<char>(count));
            data.append(
                static_cast<char>(rle4 ? (indexAt(x, y, 16) << 4) | next : indexAt(x, y, 16)));
        }
        data.append('\0');
        data.append('\0');
    }
    data.append('\0');
    data.append('\1');
    return data;
}

Bmp greyBmp() {
    Bmp bmp;
    bmp.palette = greyRamp();
    bmp.data = pixelRows(13, 3, 8, false, [](int x, int y) { return indexAt(x, y, 256); });
    return bmp;
}

Bmp rleBmp(bool rle4) {
    Bmp bmp;
    bmp.bits = rle4 ? 4 : 8;
    bmp.compression = rle4 ? 2 : 1;
    bmp.palette = kColours;
    bmp.colorsUsed = 16;
    bmp.data = rleRows(13, 3, rle4);
    return bmp;
}

KeshImage distinctiveImage() {
    KeshImage image;
    std::vector<std::uint8_t> pixels(7 * 5);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 5 + 1);
    }
    image.assign(7, 5, 8, KeshImage::Grey, std::move(pixels));
    return image;
}

KeshImage patternImage(int width, int height) {
    KeshImage image;
    image.setWidth(width);
    image.setHeight(height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.bufferAddress()[y * width + x] = static_cast<std::uint8_t>(x ^ (y * 3));
        }
    }
    return image;
}

int readBytes(const Sandbox& sandbox, const QByteArray& bytes, KeshImage& image,
              const QString& name = QStringLiteral("image.bmp")) {
    KeshFileAccess access;
    access.setFileName(sandbox.write(name, bytes));
    access.read(image);
    return access.errorCode();
}

int writeImage(const QString& path, const KeshImage& image) {
    KeshFileAccess access;
    access.setFileName(path);
    access.write(image);
    return access.errorCode();
}

QStringList listing(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool runningAsRoot() {
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

} // namespace

TEST(KeshFileAccessTest, Grey8RoundTripIsExactAndWritesA256LevelPalette) {
    Sandbox sandbox;
    const KeshImage original = patternImage(512, 480);
    const QString path = sandbox.filePath(QStringLiteral("round.bmp"));

    KeshFileAccess access;
    access.setFileName(sandbox.filePath(QStringLiteral("missing.bmp")));
    KeshImage image;
    access.read(image);
    ASSERT_EQ(access.errorCode(), KeshFileAccess::FileNotFound);
    access.setFileName(path);
    access.write(original);
    ASSERT_EQ(access.errorCode(), KeshFileAccess::Ok); // a success clears the old code
    access.read(image);
    ASSERT_EQ(access.errorCode(), KeshFileAccess::Ok);
    EXPECT_TRUE(image == original);

    const QByteArray file = testutils::readAll(path);
    ASSERT_EQ(file.size(), 14 + 40 + 256 * 4 + 512 * 480);
    EXPECT_EQ(file[28], 8);                                // bits per pixel
    EXPECT_EQ(file.mid(46, 4), QByteArray("\0\1\0\0", 4)); // 256 colours
    for (int i = 0; i < 256; ++i) {
        const QByteArray entry = file.mid(54 + 4 * i, 3);
        ASSERT_EQ(entry, QByteArray(3, static_cast<char>(i)));
    }
    // Common tools read it as the same grey picture.
    const QImage viaQt(path, "BMP");
    ASSERT_FALSE(viaQt.isNull());
    EXPECT_EQ(qGray(viaQt.pixel(100, 7)), original.bufferAddress()[7 * 512 + 100]);

    ASSERT_EQ(writeImage(sandbox.filePath(QStringLiteral("again.bmp")), image), 0);
    EXPECT_EQ(testutils::readAll(sandbox.filePath(QStringLiteral("again.bmp"))), file);
}

TEST(KeshFileAccessTest, OtherFormatsRoundTripWithTheirLooks) {
    Sandbox sandbox;
    std::vector<KeshImage> images;
    KeshImage colour;
    std::vector<std::uint8_t> rgb(13 * 3 * 4);
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = static_cast<std::uint8_t>(i * 37);
    }
    colour.assign(13, 3, 32, KeshImage::Rgb, rgb);
    images.push_back(colour); // written as 24 bits
    colour.setBitsPerPixel(24);
    images.push_back(colour);
    KeshImage indexed = colour;
    indexed.setColorFormat(KeshImage::Palette);
    images.push_back(indexed);
    for (const int bits : {1, 4}) {
        const qsizetype line = KeshImage::bytesPerLine(13, bits);
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(line) * 3);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<std::uint8_t>(i * 71);
        }
        for (int y = 0; y < 3; ++y) { // the unused low bits of each row stay clear
            pixels[y * line + line - 1] &=
                static_cast<std::uint8_t>(0xFF << (line * 8 - 13 * bits));
        }
        KeshImage small;
        small.assign(13, 3, bits, KeshImage::Palette, pixels, kColours.mid(0, 1 << bits));
        images.push_back(small);
    }
    for (const KeshImage& original : images) {
        SCOPED_TRACE(original.bitsPerPixel());
        const QString path = sandbox.filePath(QStringLiteral("other.bmp"));
        ASSERT_EQ(writeImage(path, original), 0);
        KeshImage image;
        ASSERT_EQ(readBytes(sandbox, testutils::readAll(path), image), 0);
        EXPECT_EQ(image.bitsPerPixel(),
                  original.bitsPerPixel() == 32 ? 24 : original.bitsPerPixel());
        EXPECT_EQ(image.colorFormat(), original.colorFormat());
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 13; ++x) {
                ASSERT_EQ(image.pixelColor(x, y), original.pixelColor(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(KeshFileAccessTest, ReadsEveryVariantWithHonestProperties) {
    struct Variant {
        const char* name;
        Bmp bmp;
        int bits;
        int colorFormat;
        std::function<QRgb(int, int)> looks;
    };
    const auto indexed = [](int count) {
        return [count](int x, int y) {
            return kColours[indexAt(x, y, count)];
        };
    };
    const auto grey = [](int x, int y) {
        const int level = indexAt(x, y, 256);
        return qRgb(level, level, level);
    };
    std::vector<Variant> variants;

    variants.push_back({"8-bit grey", greyBmp(), 8, KeshImage::Grey, grey});
    {
        Bmp bmp = greyBmp();
        bmp.palette = greyRamp(true);
        variants.push_back({"8-bit inverted grey", bmp, 8, KeshImage::Grey, [](int x, int y) {
                                const int level = 255 - indexAt(x, y, 256);
                                return qRgb(level, level, level);
                            }});
    }
    for (const int bits : {1, 4, 8}) {
        const int count = bits == 1 ? 2 : 16;
        Bmp bmp;
        bmp.bits = bits;
        bmp.palette = kColours.mid(0, count);
        bmp.colorsUsed = bits == 8 ? 16 : 0;
        bmp.data =
            pixelRows(13, 3, bits, false, [count](int x, int y) { return indexAt(x, y, count); });
        variants.push_back({"palette", bmp, bits, KeshImage::Palette, indexed(count)});
    }
    {
        Bmp bmp = greyBmp();
        bmp.height = -3;
        bmp.data = pixelRows(13, 3, 8, true, [](int x, int y) { return indexAt(x, y, 256); });
        variants.push_back({"top-down", bmp, 8, KeshImage::Grey, grey});
    }
    for (const int headerSize : {12, 40, 64, 108, 124}) {
        Bmp bmp;
        bmp.headerSize = headerSize;
        bmp.bits = 24;
        bmp.data = pixelRows(13, 3, 24, false, colourAt);
        variants.push_back({"24-bit", bmp, 24, KeshImage::Rgb, colourAt});
    }
    {
        Bmp bmp = greyBmp();
        bmp.headerSize = 12;
        variants.push_back({"OS/2 8-bit", bmp, 8, KeshImage::Grey, grey});
    }
    {
        Bmp bmp;
        bmp.bits = 32;
        bmp.data = pixelRows(13, 3, 32, false, colourAt);
        variants.push_back({"32-bit", bmp, 32, KeshImage::Rgb, colourAt});
        bmp.compression = 3;
        variants.push_back({"32-bit bit fields", bmp, 32, KeshImage::Rgb, colourAt});
        bmp.headerSize = 124;
        bmp.masks[3] = 0xFF000000;
        variants.push_back({"32-bit v5 with alpha mask", bmp, 32, KeshImage::Rgb, colourAt});
    }
    variants.push_back({"RLE8", rleBmp(false), 8, KeshImage::Palette, indexed(16)});
    variants.push_back({"RLE4", rleBmp(true), 4, KeshImage::Palette, indexed(16)});

    Sandbox sandbox;
    for (const Variant& v : variants) {
        SCOPED_TRACE(testing::Message() << v.name << " header " << v.bmp.headerSize);
        KeshImage image;
        ASSERT_EQ(readBytes(sandbox, v.bmp.build(), image), 0);
        EXPECT_EQ(image.width(), 13);
        EXPECT_EQ(image.height(), 3);
        EXPECT_EQ(image.bitsPerPixel(), v.bits);
        EXPECT_EQ(image.colorFormat(), v.colorFormat);
        EXPECT_EQ(image.bytesPerLine(), KeshImage::bytesPerLine(13, v.bits));
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 13; ++x) {
                ASSERT_EQ(image.pixelColor(x, y), v.looks(x, y)) << x << "," << y;
            }
        }
        if (v.colorFormat == KeshImage::Grey) { // the value is the level shown
            EXPECT_EQ(image.bufferAddress()[2 * 13 + 5], qRed(v.looks(5, 2)));
        }
    }
}

TEST(KeshFileAccessTest, MalformedFilesFailAndKeepTheImage) {
    struct Case {
        const char* name;
        QByteArray bytes;
        int code = 0; // 0: any failure
    };
    std::vector<Case> cases;
    const QByteArray good = greyBmp().build();
    const auto with = [](std::function<void(Bmp&)> change) {
        Bmp bmp = greyBmp();
        change(bmp);
        return bmp.build();
    };
    const auto withRle = [](std::function<void(QByteArray&)> change) {
        Bmp bmp = rleBmp(false);
        change(bmp.data);
        return bmp.build();
    };

    cases.push_back({"empty", QByteArray(), KeshFileAccess::NotBitmap});
    cases.push_back({"short header", good.left(20), KeshFileAccess::NotBitmap});
    cases.push_back({"wrong magic", QByteArray("MZ") + good.mid(2), KeshFileAccess::NotBitmap});
    cases.push_back({"header size 0",
                     [&] {
                         QByteArray b = good;
                         putU32(b, 14, 0);
                         return b;
                     }(),
                     KeshFileAccess::NotBitmap});
    cases.push_back({"zero width", with([](Bmp& b) { b.width = 0; })});
    cases.push_back({"negative width", with([](Bmp& b) { b.width = -13; })});
    cases.push_back({"zero height", with([](Bmp& b) { b.height = 0; })});
    cases.push_back({"two planes", [&] {
                         QByteArray b = good;
                         putU16(b, 26, 2);
                         return b;
                     }()});
    cases.push_back(
        {"huge width", with([](Bmp& b) { b.width = 100000; }), KeshFileAccess::TooLarge});
    cases.push_back({"tiny file declaring 12000 x 12000", with([](Bmp& b) {
                         b.width = 12000;
                         b.height = 12000;
                     })});
    cases.push_back({"tiny file declaring 4000 x 4000", with([](Bmp& b) {
                         b.width = 4000;
                         b.height = -4000;
                     }),
                     KeshFileAccess::NotBitmap});
    cases.push_back(
        {"pixel data one byte short", good.left(good.size() - 1), KeshFileAccess::NotBitmap});
    cases.push_back({"data offset past the end", with([](Bmp& b) { b.dataOffset = 100000; }),
                     KeshFileAccess::NotBitmap});
    cases.push_back({"data offset inside the palette", with([](Bmp& b) { b.dataOffset = 60; })});
    cases.push_back({"palette count over 256", with([](Bmp& b) { b.colorsUsed = 257; })});
    cases.push_back({"palette cut short", good.left(54 + 100)});
    cases.push_back({"index beyond the palette", with([](Bmp& b) {
                         b.palette = kColours.mid(0, 4);
                         b.colorsUsed = 4;
                         b.data =
                             pixelRows(13, 3, 8, false, [](int x, int) { return x == 12 ? 9 : 1; });
                     }),
                     KeshFileAccess::NotBitmap});
    cases.push_back({"2 bits", with([](Bmp& b) {
                         b.bits = 2;
                         b.palette.clear();
                     }),
                     KeshFileAccess::UnsupportedVariant});
    cases.push_back({"JPEG inside", with([](Bmp& b) { b.compression = 4; }),
                     KeshFileAccess::UnsupportedVariant});
    cases.push_back({"RLE8 on 4 bits", with([](Bmp& b) {
                         b.bits = 4;
                         b.compression = 1;
                     })});
    cases.push_back({"RLE ending after one row", withRle([](QByteArray& d) {
                         d = d.left(d.indexOf(QByteArray("\0\0", 2), 2) + 2) +
                             QByteArray("\0\1", 2);
                     })});
    cases.push_back({"RLE cut short", withRle([](QByteArray& d) { d.chop(9); })});
    cases.push_back({"RLE delta skipping pixels",
                     withRle([](QByteArray& d) { d.prepend(QByteArray("\0\2\1\0", 4)); })});
    cases.push_back({"RLE run past the row",
                     withRle([](QByteArray& d) { d.prepend(QByteArray("\x14\1", 2)); })});
    cases.push_back({"RLE index beyond the palette", withRle([](QByteArray& d) {
                         d.prepend(QByteArray("\1\x30", 2)); // 48 of 16 colours
                     })});
    {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(13, 3, QImage::Format_Grayscale8).save(&buffer, "PNG");
        cases.push_back({"PNG named .bmp", png, KeshFileAccess::NotBitmap});
    }

    Sandbox sandbox;
    const KeshImage before = distinctiveImage();
    for (const Case& c : cases) {
        KeshImage image = before;
        const int code = readBytes(sandbox, c.bytes, image);
        if (c.code != 0) {
            EXPECT_EQ(code, c.code) << c.name;
        } else {
            EXPECT_LT(code, 0) << c.name;
        }
        EXPECT_TRUE(image == before) << c.name << ": image changed";
    }

    KeshImage image = before;
    KeshFileAccess access;
    access.setFileName(sandbox.mkdir(QStringLiteral("a-folder.bmp")));
    access.read(image);
    EXPECT_LT(access.errorCode(), 0);
    access.setFileName(QString());
    access.read(image);
    EXPECT_EQ(access.errorCode(), KeshFileAccess::FileNotFound);

    // Refused by its size before anything is read (sparse, so it costs no disk).
    QFile huge(sandbox.write(QStringLiteral("huge.bmp"), good));
    ASSERT_TRUE(huge.resize(BmpReader::maxFileBytes() + 1));
    access.setFileName(huge.fileName());
    access.read(image);
    EXPECT_EQ(access.errorCode(), KeshFileAccess::TooLarge);
    EXPECT_TRUE(image == before);
}

#ifdef Q_OS_UNIX
// Run by an unprivileged user: as `nobody` when the tests run as root.
TEST(KeshFileAccessTest, UnreadableFilesAndUnsearchableFoldersArePermissionDenied) {
    Sandbox sandbox;
    ::chmod(QFile::encodeName(sandbox.path()).constData(), 0755);
    const QByteArray good = greyBmp().build();
    const QString locked = sandbox.write(QStringLiteral("open/locked.bmp"), good);
    sandbox.write(QStringLiteral("closed/inside.bmp"), good);
    sandbox.write(QStringLiteral("open/readable.bmp"), good);
    ::chmod(QFile::encodeName(locked).constData(), 0200);
    ::chmod(QFile::encodeName(sandbox.filePath(QStringLiteral("closed"))).constData(), 0744);
    struct Case {
        const char* name;
        int expected;
    };
    const Case cases[] = {
        {"open/locked.bmp", KeshFileAccess::PermissionDenied},
        {"closed/inside.bmp", KeshFileAccess::PermissionDenied},
        {"open/missing.bmp", KeshFileAccess::FileNotFound},
        {"missing/missing.bmp", KeshFileAccess::FileNotFound},
        {"open/readable.bmp", KeshFileAccess::Ok},
    };
    for (const Case& c : cases) {
        const testutils::ChildResult child = testutils::runInChild(
            [&] {
                KeshImage image;
                KeshFileAccess access;
                access.setFileName(sandbox.filePath(QLatin1String(c.name)));
                access.read(image);
                return access.errorCode();
            },
            runningAsRoot());
        if (!child.started) {
            GTEST_SKIP() << "no unprivileged user to read as";
        }
        EXPECT_EQ(child.signal, 0) << c.name;
        EXPECT_EQ(child.code, c.expected) << c.name;
    }
}

// What a read costs is bounded by the header, not by the file: the kernel's count of bytes
// read by this process shows it.
TEST(KeshFileAccessTest, ReadsOnlyWhatTheHeaderDescribes) {
    const auto bytesRead = [] {
        QFile io(QStringLiteral("/proc/self/io"));
        if (!io.open(QIODevice::ReadOnly)) {
            return qint64(-1);
        }
        for (const QByteArray& line : io.readAll().split('\n')) {
            if (line.startsWith("rchar:")) {
                return line.mid(6).trimmed().toLongLong();
            }
        }
        return qint64(-1);
    };
    if (bytesRead() < 0) {
        GTEST_SKIP() << "no /proc/self/io";
    }
    Bmp tooLarge = greyBmp();
    tooLarge.width = 20000;
    tooLarge.height = 20000;
    struct Case {
        const char* name;
        QByteArray head;
        int expected;
    };
    const Case cases[] = {
        {"a small image followed by junk", greyBmp().build(), KeshFileAccess::Ok},
        {"a header beyond the size limits", tooLarge.build(), KeshFileAccess::TooLarge},
    };
    Sandbox sandbox;
    for (const Case& c : cases) {
        QFile file(sandbox.write(QStringLiteral("large.bmp"), c.head));
        ASSERT_TRUE(file.resize(qint64(512) * 1024 * 1024)); // sparse: no disk, no time
        KeshImage image;
        KeshFileAccess access;
        access.setFileName(file.fileName());
        const qint64 before = bytesRead();
        access.read(image);
        const qint64 read = bytesRead() - before;
        EXPECT_EQ(access.errorCode(), c.expected) << c.name;
        EXPECT_LT(read, 256 * 1024) << c.name;
    }
}
#endif

TEST(KeshFileAccessTest, FailedWritesKeepTheOldFileAndLeaveNoTemporary) {
    Sandbox sandbox;
    const KeshImage image = patternImage(512, 480);

    // A folder where the file should go, and a missing parent folder.
    const QString folder = sandbox.mkdir(QStringLiteral("in-the-way.bmp"));
    EXPECT_EQ(writeImage(folder, image), KeshFileAccess::WriteFailed);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(writeImage(sandbox.filePath(QStringLiteral("missing/new.bmp")), image),
              KeshFileAccess::WriteFailed);
    EXPECT_EQ(writeImage(sandbox.filePath(QString(300, QLatin1Char('n')) + ".bmp"), image),
              KeshFileAccess::WriteFailed);
    EXPECT_EQ(writeImage(QString(), image), KeshFileAccess::WriteFailed);
    EXPECT_EQ(listing(sandbox.path()), QStringList{QStringLiteral("in-the-way.bmp")});
}

TEST(KeshFileAccessTest, WriteIntoReadOnlyFolderOrOverReadOnlyFileKeepsOldFile) {
    Sandbox sandbox;
    const QByteArray old("old contents");
    const QString folder = sandbox.mkdir(QStringLiteral("locked"));
    const QString inFolder = sandbox.write(QStringLiteral("locked/old.bmp"), old);
    const QString readOnlyFile = sandbox.write(QStringLiteral("open/old.bmp"), old);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(readOnlyFile, QFileDevice::ReadOwner);
    if (QFileInfo(folder).isWritable() || QFileInfo(readOnlyFile).isWritable()) {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        GTEST_SKIP() << "permissions do not bind this user (root)";
    }
    const KeshImage image = patternImage(16, 16);
    EXPECT_EQ(writeImage(inFolder, image), KeshFileAccess::PermissionDenied);
    EXPECT_EQ(writeImage(readOnlyFile, image), KeshFileAccess::PermissionDenied);
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(testutils::readAll(inFolder), old);
    EXPECT_EQ(testutils::readAll(readOnlyFile), old);
    EXPECT_EQ(listing(folder), QStringList{QStringLiteral("old.bmp")});
    EXPECT_EQ(listing(QFileInfo(readOnlyFile).absolutePath()),
              QStringList{QStringLiteral("old.bmp")});
}

#ifdef Q_OS_UNIX
// A file size limit makes every write past it fail as a full disk does, for root too.
TEST(KeshFileAccessTest, FullDiskKeepsOldFileAndReportsFailure) {
    Sandbox sandbox;
    const QByteArray old = BmpWriter::encode(distinctiveImage());
    const QString path = sandbox.write(QStringLiteral("full.bmp"), old);
    const KeshImage image = patternImage(512, 480);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 20000;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int code = writeImage(path, image);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(code, KeshFileAccess::WriteFailed);
    EXPECT_EQ(testutils::readAll(path), old);
    EXPECT_EQ(listing(sandbox.path()), QStringList{QStringLiteral("full.bmp")});

    ASSERT_EQ(writeImage(path, image), KeshFileAccess::Ok);
    EXPECT_EQ(testutils::readAll(path), BmpWriter::encode(image));
}

TEST(KeshFileAccessTest, WritingThroughSymbolicLinksUpdatesTheTargetAndKeepsTheLinks) {
    Sandbox sandbox;
    const QString target = sandbox.write(QStringLiteral("store/real.bmp"), QByteArray("old"));
    const QString link = sandbox.filePath(QStringLiteral("link.bmp"));
    const QString chain = sandbox.filePath(QStringLiteral("chain.bmp"));
    ASSERT_EQ(symlink("store/real.bmp", link.toLocal8Bit().constData()), 0);
    ASSERT_EQ(symlink("link.bmp", chain.toLocal8Bit().constData()), 0);

    const KeshImage first = patternImage(8, 4);
    ASSERT_EQ(writeImage(link, first), KeshFileAccess::Ok);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(testutils::readAll(target), BmpWriter::encode(first));

    const KeshImage second = distinctiveImage();
    ASSERT_EQ(writeImage(chain, second), KeshFileAccess::Ok);
    EXPECT_TRUE(QFileInfo(chain).isSymLink());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(testutils::readAll(target), BmpWriter::encode(second));
    EXPECT_EQ(listing(QFileInfo(target).absolutePath()), QStringList{QStringLiteral("real.bmp")});
}
#endif

// The shipped samples: the grey ones load as the working format with their stated
// densities, the others with the properties that the load command's format check catches.
TEST(KeshFileAccessTest, SampleImagesReadWithTheirStatedFormatAndDensities) {
    struct Sample {
        const char* name;
        int width;
        int height;
        int bits;
        int x; // a pixel whose level the name promises
        int y;
        int level;
    };
    const Sample samples[] = {
        {"flat-128_512x480_grey8.bmp", 512, 480, 8, 300, 400, 128},
        {"gradient-0-left-to-255-right_512x480_grey8.bmp", 512, 480, 8, 511, 0, 255},
        {"disc-200-at-100-100-radius-60-on-50_512x480_grey8.bmp", 512, 480, 8, 100, 160, 200},
        {"discs-64-128-192-radius-60-on-32_512x480_grey8.bmp", 512, 480, 8, 384, 240, 192},
        {"test-chart-8x6-patches-0-to-255_512x480_grey8.bmp", 512, 480, 8, 511, 479, 255},
        {"wrong-size-640x480_grey8.bmp", 640, 480, 8, 639, 0, 255},
        {"wrong-size-512x512_grey8.bmp", 512, 512, 8, 100, 100, 200},
        {"wrong-format-colour-bars_512x480_rgb24.bmp", 512, 480, 24, 0, 0, 255},
    };
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.name);
        KeshFileAccess access;
        access.setFileName(shipped::image(QLatin1String(s.name)));
        KeshImage image;
        access.read(image);
        ASSERT_EQ(access.errorCode(), 0);
        EXPECT_EQ(image.width(), s.width);
        EXPECT_EQ(image.height(), s.height);
        EXPECT_EQ(image.bitsPerPixel(), s.bits);
        EXPECT_EQ(image.colorFormat(), s.bits == 8 ? KeshImage::Grey : KeshImage::Rgb);
        EXPECT_EQ(qRed(image.pixelColor(s.x, s.y)), s.level);
    }
}
