// SPDX-License-Identifier: MIT
// exiv2 0.27 hands out std::auto_ptr, deprecated in C++20; its uses stay in
// this file.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

#include "photo/metadata.h"

#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <mutex>

#include "photo/failure.h"
#include "photo/image_io.h"

namespace zv::photo::detail {

namespace {

const Exiv2::ExifKey kOrientation("Exif.Image.Orientation");
const Exiv2::ExifKey kDescription("Exif.Image.ImageDescription");

// A TIFF's own layout tags, which exiv2 reads as EXIF: they describe the
// input's pixels, not the output's.
const char* const kLayoutTags[] = {
    "ImageWidth",
    "ImageLength",
    "BitsPerSample",
    "Compression",
    "PhotometricInterpretation",
    "StripOffsets",
    "SamplesPerPixel",
    "RowsPerStrip",
    "StripByteCounts",
    "PlanarConfiguration",
    "Predictor",
    "ExtraSamples",
    "SampleFormat",
    "TileWidth",
    "TileLength",
    "TileOffsets",
    "TileByteCounts",
    "JPEGTables",
    "YCbCrSubSampling",
    "ColorMap",
    "FillOrder",
    "NewSubfileType",
};

void DropLayout(Exiv2::ExifData& exif) {
    for (const char* tag : kLayoutTags) {
        const auto it = exif.findKey(Exiv2::ExifKey(std::string("Exif.Image.") + tag));
        if (it != exif.end()) exif.erase(it);
    }
}

const char* const kXmpOrientation = "Xmp.tiff.Orientation";

// exiv2's last logged error on this thread: its exceptions for XMP carry
// no message, the log says why. The log would print on stderr otherwise.
thread_local std::string lastLogged;

void Keep(int, const char* message) {
    lastLogged = message;
    while (!lastLogged.empty() && lastLogged.back() == '\n') lastLogged.pop_back();
}

std::string Reason(const std::exception& e) {
    return *e.what() ? e.what() : lastLogged;
}

// exiv2 reports through exceptions and its log. Its XMP toolkit must be set
// up once before threads use it.
void Initialise() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::error);
        Exiv2::LogMsg::setHandler(Keep);
        Exiv2::XmpParser::initialize();
    });
}

Exiv2::Image::AutoPtr Open(const std::string& bytes) {
    Initialise();
    lastLogged.clear();
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                           static_cast<long>(bytes.size()));
    if (image.get() == nullptr) throw Exiv2::Error(Exiv2::kerUnsupportedImageType);
    return image;
}

std::string Encoded(const Exiv2::ExifData& exif) {
    if (exif.empty()) return {};
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return {blob.begin(), blob.end()};
}

Exiv2::ExifData Decoded(const std::string& exif) {
    Exiv2::ExifData data;
    if (!exif.empty()) {
        Exiv2::ExifParser::decode(data, reinterpret_cast<const Exiv2::byte*>(exif.data()),
                                  static_cast<uint32_t>(exif.size()));
    }
    return data;
}

int OrientationOf(const Exiv2::ExifData& exif) {
    const auto tag = exif.findKey(kOrientation);
    if (tag == exif.end() || tag->count() == 0) return 1;
    const long value = tag->toLong();
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
}

// Where pixel (x, y) of the upright picture is stored, for each orientation.
struct Mapping {
    bool swap;   // stored columns are upright rows
    bool flipX;  // upright x runs right to left in storage
    bool flipY;  // upright y runs bottom to top in storage
};
constexpr Mapping kMappings[9] = {
    {false, false, false}, {false, false, false}, {false, true, false},
    {false, true, true},   {false, false, true},  {true, false, false},
    {true, true, false},   {true, true, true},    {true, false, true},
};

}  // namespace

Metadata ReadMetadata(const std::string& bytes, const std::string& path) {
    Metadata metadata;
    const auto* data = reinterpret_cast<const Exiv2::byte*>(bytes.data());
    // exiv2 knows no metadata of some formats (BMP); they simply have none.
    if (Exiv2::ImageFactory::getType(data, static_cast<long>(bytes.size())) ==
        Exiv2::ImageType::none) {
        return metadata;
    }
    try {
        auto image = Open(bytes);
        image->readMetadata();
        DropLayout(image->exifData());
        metadata.exif = Encoded(image->exifData());
        metadata.orientation = OrientationOf(image->exifData());
        metadata.xmp = image->xmpPacket();
        metadata.comment = image->comment();
        if (image->mimeType() == "image/png") metadata.iccName = PngProfileName(bytes);
        if (image->iccProfileDefined()) {
            const Exiv2::DataBuf* icc = image->iccProfile();
            metadata.icc.assign(reinterpret_cast<const char*>(icc->pData_),
                                static_cast<size_t>(icc->size_));
        }
    } catch (const std::exception& e) {
        Warn(path, "its metadata is damaged and left out (" + Reason(e) + ")");
        return {};
    }
    return metadata;
}

Image Oriented(const Image& image, int orientation) {
    if (orientation <= 1 || orientation > 8) return image;
    const Mapping m = kMappings[orientation];
    Image out(m.swap ? image.height : image.width, m.swap ? image.width : image.height,
              image.channels);
    const size_t c = static_cast<size_t>(image.channels);
    for (int32_t y = 0; y < out.height; ++y) {
        uint8_t* to = out.Row(y);
        for (int32_t x = 0; x < out.width; ++x, to += c) {
            const int32_t u = m.flipX ? out.width - 1 - x : x;
            const int32_t v = m.flipY ? out.height - 1 - y : y;
            const uint8_t* from = m.swap ? image.Row(u) + static_cast<size_t>(v) * c
                                         : image.Row(v) + static_cast<size_t>(u) * c;
            std::copy(from, from + c, to);
        }
    }
    return out;
}

Metadata Upright(Metadata metadata) {
    if (metadata.orientation == 1) return metadata;
    metadata.orientation = 1;
    try {
        Initialise();
        Exiv2::ExifData exif = Decoded(metadata.exif);
        if (exif.findKey(kOrientation) != exif.end()) exif[kOrientation.key()] = uint16_t{1};
        metadata.exif = Encoded(exif);
        Exiv2::XmpData xmp;
        if (!metadata.xmp.empty() && Exiv2::XmpParser::decode(xmp, metadata.xmp) == 0 &&
            xmp.findKey(Exiv2::XmpKey(kXmpOrientation)) != xmp.end()) {
            xmp[kXmpOrientation] = "1";
            Exiv2::XmpParser::encode(metadata.xmp, xmp, Exiv2::XmpParser::useCompactFormat);
        }
    } catch (const std::exception&) {
        metadata.exif.clear();  // read once already, so only a library fault lands here
    }
    return metadata;
}

namespace {

// encoded with metadata put in; throws what exiv2 throws.
std::string Written(const std::string& encoded, const Metadata& metadata, const std::string& path) {
    auto image = Open(encoded);
    std::string lost;
    const auto put = [&](Exiv2::MetadataId id, bool given, const char* name, auto set) {
        if (!given) return;
        if (image->checkMode(id) & Exiv2::amWrite) {
            set();
        } else {
            lost += lost.empty() ? name : std::string(", ") + name;
        }
    };
    // A format without comments (TIFF) keeps one as the picture's
    // description, unless the EXIF has its own.
    Exiv2::ExifData exif = Decoded(metadata.exif);
    const bool described = !metadata.comment.empty() &&
                           !(image->checkMode(Exiv2::mdComment) & Exiv2::amWrite) &&
                           exif.findKey(kDescription) == exif.end();
    if (described) exif[kDescription.key()] = metadata.comment;
    put(Exiv2::mdExif, !exif.empty(), "EXIF", [&] { image->setExifData(exif); });
    put(Exiv2::mdXmp, !metadata.xmp.empty(), "XMP", [&] { image->setXmpPacket(metadata.xmp); });
    put(Exiv2::mdComment, !metadata.comment.empty() && !described, "comment",
        [&] { image->setComment(metadata.comment); });
    // exiv2 0.27 answers "none" for colour profiles in every format;
    // PNG's and WebP's writers put them in themselves.
    if (!metadata.icc.empty()) {
        Exiv2::DataBuf icc(reinterpret_cast<const Exiv2::byte*>(metadata.icc.data()),
                           static_cast<long>(metadata.icc.size()));
        image->setIccProfile(icc, false);
    }
    if (!lost.empty()) Warn(path, "this format cannot keep the input's " + lost);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    std::string out(static_cast<size_t>(io.size()), '\0');
    if (io.read(reinterpret_cast<Exiv2::byte*>(out.data()), static_cast<long>(out.size())) !=
        static_cast<long>(out.size())) {
        throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    }
    return out;
}

}  // namespace

std::string WithMetadata(std::string encoded, const Metadata& metadata, const std::string& path) {
    if (metadata.empty()) return encoded;
    try {
        return Written(encoded, metadata, path);
    } catch (const std::exception& e) {
        std::string reason = Reason(e);
        // XMP that exiv2 read but cannot write (too deeply nested, say) is
        // the usual cause; the rest is kept without it.
        if (!metadata.xmp.empty()) {
            Metadata rest = metadata;
            rest.xmp.clear();
            try {
                std::string out = Written(encoded, rest, path);
                Warn(path, "the input's XMP could not be written and is left out (" + reason + ")");
                return out;
            } catch (const std::exception& again) {
                reason = Reason(again);
            }
        }
        Warn(path, "the input's metadata could not be written (" + reason + ")");
        return encoded;
    }
}

}  // namespace zv::photo::detail
