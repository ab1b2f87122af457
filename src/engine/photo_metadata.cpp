// SPDX-License-Identifier: MIT
#include "engine/photo_metadata.h"

#include "engine/jpeg_metadata_salvage.h"
#include "engine/save_jpeg.h"
#include "imageio/result_file.h"
#include "util/path_bytes.h"

#include <QFile>
#include <QtEndian>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <array>
#include <mutex>
#include <string>
#include <string_view>

#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The XMP toolkit is not thread-safe by itself: exiv2 takes this lock around its use, so
// copies stamped on several threads at once may carry XMP.
void LockXmpToolkit(void* mutex, bool lock) {
    if (lock) {
        static_cast<std::mutex*>(mutex)->lock();
    } else {
        static_cast<std::mutex*>(mutex)->unlock();
    }
}

// exiv2 keeps process-wide state: the XMP toolkit must be set up once before use, and
// its log would print every oddity of a camera's file on the terminal.
void SetUpExiv2() {
    static const bool ready = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        static std::mutex xmpToolkit;
        Exiv2::XmpParser::initialize(LockXmpToolkit, &xmpToolkit);
        return true;
    }();
    (void)ready;
}

std::string LocalPath(const QString& path) {
    return PathBytes(path).toStdString();
}

const Exiv2::byte* Bytes(const QByteArray& data) {
    return reinterpret_cast<const Exiv2::byte*>(data.constData());
}

// IFD0 tags that describe how the source file stores its own pixels, or that hold
// metadata exiv2 already hands over as XMP, IPTC or ICC. Copied into another file they
// would contradict it.
constexpr std::array<std::string_view, 30> kFileLayoutTags = {
    "Exif.Image.NewSubfileType", "Exif.Image.SubfileType",
    "Exif.Image.ImageWidth", "Exif.Image.ImageLength",
    "Exif.Image.BitsPerSample", "Exif.Image.Compression",
    "Exif.Image.PhotometricInterpretation", "Exif.Image.FillOrder",
    "Exif.Image.StripOffsets", "Exif.Image.SamplesPerPixel",
    "Exif.Image.RowsPerStrip", "Exif.Image.StripByteCounts",
    "Exif.Image.PlanarConfiguration", "Exif.Image.Predictor",
    "Exif.Image.ColorMap", "Exif.Image.TileWidth",
    "Exif.Image.TileLength", "Exif.Image.TileOffsets",
    "Exif.Image.TileByteCounts", "Exif.Image.SubIFDs",
    "Exif.Image.ExtraSamples", "Exif.Image.SampleFormat",
    "Exif.Image.JPEGTables", "Exif.Image.JPEGInterchangeFormat",
    "Exif.Image.JPEGInterchangeFormatLength", "Exif.Image.YCbCrSubSampling",
    "Exif.Image.XMLPacket", "Exif.Image.IPTCNAA",
    "Exif.Image.ImageResources", "Exif.Image.InterColorProfile",
};

// Groups holding further pictures: IFD1 (the thumbnail), the extra IFDs and sub-images of
// TIFF-based raw files, and the makers' preview directories.
constexpr std::array<std::string_view, 16> kPictureGroups = {
    "Thumbnail", "Image2",    "Image3",    "SubImage1", "SubImage2",   "SubImage3",
    "SubImage4", "SubImage5", "SubImage6", "SubImage7", "SubImage8",   "SubImage9",
    "SubThumb1", "NikonPreview", "MpfInfo", "PanasonicRaw",
};

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// A preview or thumbnail kept by a maker note (Canon, Olympus, Pentax, Sony, Samsung,
// ...) under a tag of its own: each of them names it so.
bool IsPictureTag(const Exiv2::Exifdatum& datum) {
    const std::string name = datum.tagName();
    return name.find("Preview") != std::string::npos ||
           name.find("Thumbnail") != std::string::npos;
}

void CorrectExif(Exiv2::ExifData& exif, const QImage& written, bool turned) {
    Exiv2::ExifThumb(exif).erase();
    for (auto it = exif.begin(); it != exif.end();) {
        if (Contains(kFileLayoutTags, it->key()) || Contains(kPictureGroups, it->groupName()) ||
            IsPictureTag(*it)) {
            it = exif.erase(it);
        } else {
            ++it;
        }
    }
    if (exif.empty()) {
        return;
    }
    const auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (turned && orientation != exif.end()) {
        exif["Exif.Image.Orientation"] = uint16_t(1);
    }
    exif["Exif.Photo.PixelXDimension"] = uint32_t(written.width());
    exif["Exif.Photo.PixelYDimension"] = uint32_t(written.height());
    exif["Exif.Image.XResolution"] = Exiv2::URational(JfifDotsPerInch(written.dotsPerMeterX()), 1);
    exif["Exif.Image.YResolution"] = Exiv2::URational(JfifDotsPerInch(written.dotsPerMeterY()), 1);
    exif["Exif.Image.ResolutionUnit"] = uint16_t(2);  // inches
}

void SetIfPresent(Exiv2::XmpData& xmp, const char* key, long value) {
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    if (it != xmp.end()) {
        it->setValue(std::to_string(value));
    }
}

void CorrectXmp(Exiv2::XmpData& xmp, const QImage& written, bool turned) {
    for (auto it = xmp.begin(); it != xmp.end();) {
        if (it->key().rfind("Xmp.xmp.Thumbnails", 0) == 0) {
            it = xmp.erase(it);
        } else {
            ++it;
        }
    }
    if (turned) {
        SetIfPresent(xmp, "Xmp.tiff.Orientation", 1);
    }
    SetIfPresent(xmp, "Xmp.tiff.ImageWidth", written.width());
    SetIfPresent(xmp, "Xmp.tiff.ImageLength", written.height());
    SetIfPresent(xmp, "Xmp.exif.PixelXDimension", written.width());
    SetIfPresent(xmp, "Xmp.exif.PixelYDimension", written.height());
}

QByteArray EncodedExif(Exiv2::ExifData& exif, Exiv2::ByteOrder order, const QImage& written,
                       bool turned) {
    CorrectExif(exif, written, turned);
    if (exif.empty()) {
        return {};
    }
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, order == Exiv2::invalidByteOrder ? Exiv2::littleEndian : order,
                              exif);
    return QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
}

QByteArray EncodedXmp(Exiv2::XmpData& xmp, const QImage& written, bool turned) {
    CorrectXmp(xmp, written, turned);
    std::string packet;
    if (xmp.empty() || Exiv2::XmpParser::encode(packet, xmp, Exiv2::XmpParser::useCompactFormat) != 0) {
        return {};
    }
    return QByteArray::fromStdString(packet);
}

QByteArray EncodedIptc(const Exiv2::IptcData& iptc) {
    if (iptc.empty()) {
        return {};
    }
    const Exiv2::DataBuf data = Exiv2::IptcParser::encode(iptc);
    return QByteArray(reinterpret_cast<const char*>(data.pData_), qsizetype(data.size_));
}

// Each part is taken on its own, so a damaged EXIF block still lets the profile and the
// XMP through.
template <typename Part>
QByteArray Guarded(Part part) {
    try {
        return part();
    } catch (...) {
        return {};
    }
}

// The source's tags go over the file's own, except where the file's writer described
// its pixels: those tags were dropped from the source's set when it was read.
void MergeExif(Exiv2::Image& image, const QByteArray& block) {
    Exiv2::ExifData source;
    Exiv2::ExifParser::decode(source, Bytes(block), uint32_t(block.size()));
    Exiv2::ExifData& target = image.exifData();
    for (const Exiv2::Exifdatum& datum : source) {
        target[datum.key()].setValue(&datum.value());
    }
}

// exiv2 0.27 writes a PNG's iCCP chunk with an empty profile name when the file had no
// profile before; libpng rejects such a chunk ("iCCP: bad keyword") and viewers then
// show the picture without its profile. Names the profile in place.
QByteArray WithNamedProfile(const QByteArray& png) {
    constexpr qsizetype kSignature = 8;
    qsizetype at = kSignature;
    while (at + 12 <= png.size()) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        if (length > quint32(png.size() - at - 12)) {
            break;
        }
        const QByteArray type = png.mid(at + 4, 4);
        if (type == "IDAT" || type == "IEND") {
            break;
        }
        if (type == "iCCP" && length > 0 && png.at(at + 8) == '\0') {
            const QByteArray data = QByteArray("ICC profile") + png.mid(at + 8, length);
            const QByteArray typed = type + data;
            QByteArray chunk(4, '\0');
            qToBigEndian<quint32>(quint32(data.size()), chunk.data());
            chunk += typed;
            QByteArray crc(4, '\0');
            qToBigEndian<quint32>(
                quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))),
                crc.data());
            chunk += crc;
            return png.left(at) + chunk + png.mid(at + 12 + length);
        }
        at += 12 + qsizetype(length);
    }
    return png;
}

bool IsWritableFormat(int type) {
    return type == Exiv2::ImageType::jpeg || type == Exiv2::ImageType::png ||
           type == Exiv2::ImageType::tiff;
}

// The file with the metadata in it, or nothing when exiv2 cannot write into it.
QByteArray WithMetadata(const QByteArray& file, const PhotoMetadata& metadata) {
    const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(Bytes(file), long(file.size()));
    if (!image.get() || !IsWritableFormat(image->imageType())) {
        return {};
    }
    image->readMetadata();
    if (!metadata.exif.isEmpty()) {
        MergeExif(*image, metadata.exif);
    }
    if (!metadata.xmp.isEmpty() &&
        Exiv2::XmpParser::decode(image->xmpData(), metadata.xmp.toStdString()) != 0) {
        image->xmpData().clear();
    }
    if (!metadata.iptc.isEmpty() &&
        Exiv2::IptcParser::decode(image->iptcData(), Bytes(metadata.iptc),
                                  uint32_t(metadata.iptc.size())) != 0) {
        image->iptcData().clear();
    }
    if (!metadata.icc.isEmpty()) {
        Exiv2::DataBuf profile(Bytes(metadata.icc), long(metadata.icc.size()));
        image->setIccProfile(profile, true);
    }
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    if (io.open() != 0) {
        return {};
    }
    const long size = io.size();
    const Exiv2::DataBuf bytes = io.read(size);
    io.close();
    if (bytes.size_ != size || size <= 0) {
        return {};
    }
    const QByteArray rewritten(reinterpret_cast<const char*>(bytes.pData_), qsizetype(size));
    return image->imageType() == Exiv2::ImageType::png ? WithNamedProfile(rewritten) : rewritten;
}

// The bytes of a regular file; nothing for a link, a FIFO, a device, an unreadable file,
// or one beyond what a picture file of this program can be. The opened file itself is
// judged, so nothing put under the name after a test is read.
QByteArray ReadRegularFile(const QString& path) {
    constexpr qint64 kLargestFile = qint64(2) * 1024 * 1024 * 1024 - 1;
    const int fd = ::open(PathBytes(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    QFile file;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestFile ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    return file.readAll();
}

}  // namespace

PhotoMetadata ReadPhotoMetadata(const QString& sourcePath, const QImage& written) {
    PhotoMetadata metadata;
    // exiv2 opens whatever it is given: a FIFO would block it.
    struct stat st {};
    if (::stat(LocalPath(sourcePath).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return metadata;
    }
    // exiv2 reads a memory block in place: it must outlive the image.
    QByteArray rest;
    try {
        SetUpExiv2();
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(LocalPath(sourcePath));
        if (!image.get()) {
            return metadata;
        }
        // A block that fails to decode stops the reading where it is; what was read
        // before it is still good. A damaged EXIF block of a JPEG would take the
        // profile and the XMP after it along: those are read again without it.
        try {
            image->readMetadata();
        } catch (...) {
            if (image->imageType() == Exiv2::ImageType::jpeg) {
                rest = JpegMarkersWithoutExif(sourcePath);
                if (!rest.isEmpty()) {
                    image = Exiv2::ImageFactory::open(Bytes(rest), long(rest.size()));
                    image->readMetadata();
                }
            }
        }
        // JPEG and TIFF sources reach the canvas upright; a PNG's EXIF orientation is
        // not applied on its way there, so it still describes the copy's pixels.
        const bool turned = image->imageType() != Exiv2::ImageType::png;
        metadata.exif = Guarded(
            [&] { return EncodedExif(image->exifData(), image->byteOrder(), written, turned); });
        metadata.xmp = Guarded([&] { return EncodedXmp(image->xmpData(), written, turned); });
        metadata.iptc = Guarded([&] { return EncodedIptc(image->iptcData()); });
        if (image->iccProfileDefined()) {
            const Exiv2::DataBuf* profile = image->iccProfile();
            metadata.icc = QByteArray(reinterpret_cast<const char*>(profile->pData_),
                                      qsizetype(profile->size_));
        }
    } catch (...) {
    }
    return metadata;
}

PhotoMetadata CorrectPhotoMetadata(const PhotoMetadata& read, const QImage& written, bool turned) {
    PhotoMetadata metadata;
    metadata.icc = read.icc;
    metadata.iptc = read.iptc;
    try {
        SetUpExiv2();
    } catch (...) {
        return metadata;
    }
    metadata.exif = Guarded([&] {
        Exiv2::ExifData exif;
        const Exiv2::ByteOrder order =
            Exiv2::ExifParser::decode(exif, Bytes(read.exif), uint32_t(read.exif.size()));
        return EncodedExif(exif, order, written, turned);
    });
    metadata.xmp = Guarded([&] {
        Exiv2::XmpData xmp;
        if (read.xmp.isEmpty() || Exiv2::XmpParser::decode(xmp, read.xmp.toStdString()) != 0) {
            return QByteArray();
        }
        return EncodedXmp(xmp, written, turned);
    });
    return metadata;
}

bool WritePhotoMetadata(const QString& path, const PhotoMetadata& metadata) {
    if (metadata.isEmpty()) {
        return false;
    }
    try {
        SetUpExiv2();
        const QByteArray original = ReadRegularFile(path);
        if (original.isEmpty()) {
            return false;
        }
        const QByteArray rewritten = WithMetadata(original, metadata);
        if (rewritten.isEmpty()) {
            return false;
        }
        // Created afresh beside the file and renamed onto it: never written through a
        // link put under the name meanwhile.
        ResultFile file(path);
        if (file.write(rewritten) != rewritten.size()) {
            return false;
        }
        file.Commit();
        return true;
    } catch (...) {
        return false;
    }
}

void KeepPhotoMetadata(const QString& sourcePath, const QString& writtenPath, const QImage& written) {
    WritePhotoMetadata(writtenPath, ReadPhotoMetadata(sourcePath, written));
}

void PreparePhotoMetadata() {
    SetUpExiv2();
}

void KeepPhotoMetadata(const QString& sourcePath, std::unique_ptr<ResultFile>& written,
                       const QImage& picture) {
    try {
        const PhotoMetadata metadata = ReadPhotoMetadata(sourcePath, picture);
        if (metadata.isEmpty()) {
            return;
        }
        SetUpExiv2();
        const QByteArray rewritten = WithMetadata(written->ReadBack(), metadata);
        if (rewritten.isEmpty()) {
            return;
        }
        auto copy = std::make_unique<ResultFile>(written->path());
        if (copy->write(rewritten) == rewritten.size()) {
            copy->Finish();
            written = std::move(copy);
        }
    } catch (...) {
    }
}
