// SPDX-License-Identifier: MIT
#include "engine/photo_metadata.h"

#include "engine/jpeg_metadata_salvage.h"
#include "engine/save_jpeg.h"
#include "engine/source_metadata_read.h"
#include "imageio/heif_decoder.h"
#include "imageio/image_limits.h"
#include "imageio/jxl_decoder.h"
#include "imageio/modern_format.h"
#include "imageio/result_file.h"
#include "imageio/webp_decoder.h"
#include "imageio/whole_file.h"
#include "util/descriptor_path.h"
#include "util/path_bytes.h"

#include <QFile>
#include <QtEndian>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>
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

// exiv2 keeps process-wide state: the XMP toolkit must be set up once before use, its
// log would print every oddity of a camera's file on the terminal, and its reader of the
// HEIF family (ISO base media files: HEIC, HEIF, AVIF, JPEG XL in a container) is built
// in but off until it is switched on.
void SetUpExiv2() {
    static const bool ready = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        static std::mutex xmpToolkit;
        Exiv2::XmpParser::initialize(LockXmpToolkit, &xmpToolkit);
        Exiv2::enableBMFF(true);
        return true;
    }();
    (void)ready;
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

void CorrectExif(Exiv2::ExifData& exif, const CopyShape& written, bool turned) {
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
    exif["Exif.Photo.PixelXDimension"] = uint32_t(written.size.width());
    exif["Exif.Photo.PixelYDimension"] = uint32_t(written.size.height());
    exif["Exif.Image.XResolution"] = Exiv2::URational(JfifDotsPerInch(written.dotsPerMetreX), 1);
    exif["Exif.Image.YResolution"] = Exiv2::URational(JfifDotsPerInch(written.dotsPerMetreY), 1);
    exif["Exif.Image.ResolutionUnit"] = uint16_t(2);  // inches
}

void SetIfPresent(Exiv2::XmpData& xmp, const char* key, long value) {
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    if (it != xmp.end()) {
        it->setValue(std::to_string(value));
    }
}

void CorrectXmp(Exiv2::XmpData& xmp, const CopyShape& written, bool turned) {
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
    SetIfPresent(xmp, "Xmp.tiff.ImageWidth", written.size.width());
    SetIfPresent(xmp, "Xmp.tiff.ImageLength", written.size.height());
    SetIfPresent(xmp, "Xmp.exif.PixelXDimension", written.size.width());
    SetIfPresent(xmp, "Xmp.exif.PixelYDimension", written.size.height());
}

QByteArray EncodedExif(Exiv2::ExifData& exif, Exiv2::ByteOrder order, const CopyShape& written,
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

QByteArray EncodedXmp(Exiv2::XmpData& xmp, const CopyShape& written, bool turned) {
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

// A descriptor of the regular file at `path`, opened without blocking and judged by the
// file opened, so a FIFO or a device put under the name is never read; -1 otherwise.
int OpenRegularFile(const QString& path, struct stat& st) {
    const int fd = ::open(PathBytes(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QDateTime ChangeTime(const struct stat& st) {
    return QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
}

// The metadata exiv2 reads from a file, decoded; nothing when it reads none.
void ReadWithExiv2(const QString& sourcePath, SourceMetadata::Read& read) {
    struct stat st {};
    const int fd = OpenRegularFile(sourcePath, st);
    if (fd < 0) {
        return;
    }
    read.changed = ChangeTime(st);
    // exiv2 opens a name itself: it is given the name of the descriptor already judged.
    const QString path = DescriptorPath(fd);
    // exiv2 reads a memory block in place: it must outlive the image.
    QByteArray rest;
    try {
        SetUpExiv2();
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path.toStdString());
        if (image.get()) {
            // A block that fails to decode stops the reading where it is; what was read
            // before it is still good. A damaged EXIF block of a JPEG would take the
            // profile and the XMP after it along: those are read again without it.
            try {
                image->readMetadata();
            } catch (...) {
                if (image->imageType() == Exiv2::ImageType::jpeg) {
                    rest = JpegMarkersWithoutExif(path);
                    if (!rest.isEmpty()) {
                        image = Exiv2::ImageFactory::open(Bytes(rest), long(rest.size()));
                        image->readMetadata();
                    }
                }
            }
            // JPEG and TIFF sources reach the canvas upright; a PNG's EXIF orientation is
            // not applied on its way there, so it still describes the copy's pixels.
            read.turned = image->imageType() != Exiv2::ImageType::png;
            read.exif = image->exifData();
            read.order = image->byteOrder();
            read.xmp = image->xmpData();
            read.iptc = Guarded([&] { return EncodedIptc(image->iptcData()); });
            if (image->iccProfileDefined()) {
                const Exiv2::DataBuf* profile = image->iccProfile();
                read.icc = QByteArray(reinterpret_cast<const char*>(profile->pData_),
                                      qsizetype(profile->size_));
            }
        }
    } catch (...) {
    }
    ::close(fd);
}

// The blocks a format's own library read, decoded as exiv2 holds them.
void DecodeBlocks(const PhotoMetadata& blocks, bool turned, SourceMetadata::Read& read) {
    read.turned = turned;
    read.icc = blocks.icc;
    read.iptc = blocks.iptc;
    try {
        SetUpExiv2();
    } catch (...) {
        return;
    }
    try {
        read.order = Exiv2::ExifParser::decode(read.exif, Bytes(blocks.exif),
                                               uint32_t(blocks.exif.size()));
    } catch (...) {
        read.exif.clear();
    }
    try {
        if (blocks.xmp.isEmpty() || Exiv2::XmpParser::decode(read.xmp, blocks.xmp.toStdString()) != 0) {
            read.xmp.clear();
        }
    } catch (...) {
        read.xmp.clear();
    }
}

// What a source of today's formats says about itself, read by its own library; nothing
// when its content is not what its name says or it cannot be read.
PictureFacts ModernFacts(const QString& sourcePath, ModernFormat format) {
    try {
        const QByteArray data = ReadWholeFile(sourcePath, kImageAllocationLimitBytes);
        if (!ContentMatchesFormat(data, format)) {
            return {};
        }
        switch (format) {
            case ModernFormat::Heic:
            case ModernFormat::Heif:
            case ModernFormat::Avif:
                return ReadHeifFacts(data);
            case ModernFormat::WebP:
                return ReadWebPFacts(data);
            case ModernFormat::Jxl:
                return ReadJxlFacts(data);
        }
    } catch (...) {
    }
    return {};
}

}  // namespace

CopyShape CopyShape::Of(const QImage& picture) {
    return {picture.size(), picture.dotsPerMeterX(), picture.dotsPerMeterY()};
}

SourceMetadata::SourceMetadata() : read_(std::make_shared<const Read>()) {}

SourceMetadata::SourceMetadata(std::shared_ptr<const Read> read) : read_(std::move(read)) {}

PhotoMetadata SourceMetadata::ForCopy(const QImage& written) const {
    return ForCopy(CopyShape::Of(written));
}

PhotoMetadata SourceMetadata::ForCopy(const CopyShape& written) const {
    const Read& read = *read_;
    PhotoMetadata metadata;
    metadata.iptc = read.iptc;
    metadata.icc = read.icc;
    // Corrected on copies: the same source may give several copies, each its own sizes.
    metadata.exif = Guarded([&] {
        Exiv2::ExifData exif = read.exif;
        return EncodedExif(exif, read.order, written, read.turned);
    });
    metadata.xmp = Guarded([&] {
        Exiv2::XmpData xmp = read.xmp;
        return EncodedXmp(xmp, written, read.turned);
    });
    return metadata;
}

const PictureFacts& SourceMetadata::coding() const {
    return read_->coding;
}

QDateTime SourceMetadata::changed() const {
    return read_->changed;
}

SourceMetadata ReadSourceMetadata(const QString& sourcePath) {
    auto read = std::make_shared<SourceMetadata::Read>();
    if (const std::optional<ModernFormat> format = ModernFormatOfName(sourcePath)) {
        PictureFacts facts = ModernFacts(sourcePath, *format);
        // HEIF and JPEG XL pictures reach the canvas turned as their files say; WebP has no
        // orientation of its own, so its EXIF Orientation still describes the copy's pixels.
        DecodeBlocks(facts.metadata, *format != ModernFormat::WebP, *read);
        facts.metadata = {};
        read->coding = facts;
        struct stat st {};
        if (::stat(PathBytes(sourcePath).constData(), &st) == 0 && S_ISREG(st.st_mode)) {
            read->changed = ChangeTime(st);
        }
    } else {
        ReadWithExiv2(sourcePath, *read);
    }
    return SourceMetadata(std::move(read));
}

SourceMetadata MetadataOfBlocks(const PhotoMetadata& blocks, bool turned) {
    auto read = std::make_shared<SourceMetadata::Read>();
    DecodeBlocks(blocks, turned, *read);
    return SourceMetadata(std::move(read));
}

PhotoMetadata ReadPhotoMetadata(const QString& sourcePath, const QImage& written) {
    auto read = std::make_shared<SourceMetadata::Read>();
    ReadWithExiv2(sourcePath, *read);
    return SourceMetadata(std::move(read)).ForCopy(written);
}

PhotoMetadata CorrectPhotoMetadata(const PhotoMetadata& read, const QImage& written, bool turned) {
    return MetadataOfBlocks(read, turned).ForCopy(written);
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

void SetUpMetadataLibrary() {
    SetUpExiv2();
}

void KeepPhotoMetadata(const PhotoMetadata& metadata, std::unique_ptr<ResultFile>& written) {
    try {
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

void KeepPhotoMetadata(const QString& sourcePath, std::unique_ptr<ResultFile>& written,
                       const QImage& picture) {
    KeepPhotoMetadata(ReadPhotoMetadata(sourcePath, picture), written);
}
