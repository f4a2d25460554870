// SPDX-License-Identifier: MIT
// The public API over the codecs: their Failure becomes photo::Error,
// and pixels move between the public and the internal image.
#include "zorvan/photo.hpp"

#include <algorithm>
#include <cerrno>

#include "photo/failure.h"
#include "photo/image_io.h"
#include "photo/output_file.h"

namespace zv::photo {

struct Metadata::Impl {
    detail::Metadata m;
};

Metadata::Metadata() : impl_(std::make_unique<Impl>()) {}
Metadata::~Metadata() = default;
Metadata::Metadata(const Metadata& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}
Metadata::Metadata(Metadata&& other) noexcept : impl_(std::make_unique<Impl>()) {
    std::swap(impl_, other.impl_);
}
Metadata& Metadata::operator=(Metadata other) noexcept {
    std::swap(impl_, other.impl_);
    return *this;
}

const std::string& Metadata::block(Block which) const {
    const detail::Metadata& m = impl_->m;
    switch (which) {
        case kIcc: return m.icc;
        case kExif: return m.exif;
        case kXmp: return m.xmp;
        case kComment: return m.comment;
    }
    static const std::string none;
    return none;
}

unsigned Metadata::blocks() const {
    unsigned held = 0;
    for (const Block b : {kIcc, kExif, kXmp, kComment}) held |= block(b).empty() ? 0u : b;
    return held;
}

int Metadata::orientation() const {
    return impl_->m.orientation;
}

namespace {

// What the codecs throw, as the public error.
template <class Work>
auto Guarded(Work work) {
    try {
        return work();
    } catch (const detail::Failure& failure) {
        throw Error(failure.what());
    } catch (const std::bad_alloc&) {
        throw Error("out of memory");
    }
}

Photo Published(detail::Photo in, std::string_view bytes) {
    Photo out;
    out.pixels = {in.image.width, in.image.height, in.image.channels,
                  std::vector<uint8_t>(in.image.pixels.begin(), in.image.pixels.end())};
    out.metadata.impl().m = std::move(in.metadata);
    out.format = detail::FormatOf(bytes).value_or(Format::kPng);
    return out;
}

// Grey (and grey with alpha) spread over red, green and blue.
detail::Image Internal(const Pixels& pixels) {
    const int32_t c = pixels.channels;
    if (c < 1 || c > 4 || pixels.width <= 0 || pixels.height <= 0 ||
        pixels.width > detail::kMaxPixels / pixels.height ||
        pixels.bytes.size() != static_cast<size_t>(pixels.width) * pixels.height * c) {
        throw std::invalid_argument("the pixels are not width x height x 1..4 bytes");
    }
    detail::Image image(pixels.width, pixels.height, c == 2 || c == 4 ? 4 : 3);
    const size_t count = static_cast<size_t>(pixels.width) * pixels.height;
    const uint8_t* from = pixels.bytes.data();
    uint8_t* to = image.pixels.data();
    for (size_t i = 0; i < count; ++i, from += c, to += image.channels) {
        const bool grey = c < 3;
        for (int k = 0; k < 3; ++k) to[k] = from[grey ? 0 : k];
        if (image.channels == 4) to[3] = from[c - 1];
    }
    return image;
}

detail::WriteSettings Internal(const WriteSettings& s, Format format, const Metadata* like) {
    if (s.quality < 1 || s.quality > 100) throw std::invalid_argument("quality: 1..100");
    if (s.compression < -1 || s.compression > 9) throw std::invalid_argument("compression: -1..9");
    return {format, s.quality, s.compression, s.lossless, like ? &like->impl().m : nullptr, 1};
}

Format FormatFor(const std::string& path, const WriteSettings& settings) {
    if (settings.format) {
        if (!Info(*settings.format).writes) {
            detail::FailFile(path, std::string(Info(*settings.format).name) + " is read only");
        }
        return *settings.format;
    }
    return detail::WrittenFormatFor(path);
}

}  // namespace

Photo Decode(std::string_view bytes, const std::string& name, bool orient) {
    return Guarded([&] {
        const std::string copy(bytes);
        return Published(detail::DecodePhoto(copy, name, orient), bytes);
    });
}

Photo Read(std::FILE* stream, const std::string& name, bool orient) {
    return Guarded([&] { return Decode(detail::ReadAll(stream, name), name, orient); });
}

Photo Read(const std::string& path, bool orient) {
    return Guarded([&] {
        if (path == "-") return Read(stdin, path, orient);
        errno = 0;
        const detail::File file(std::fopen(path.c_str(), "rb"));
        if (!file) detail::FailIo(path, "cannot open", errno);
        return Read(file.get(), path, orient);
    });
}

std::string Encode(const Pixels& pixels, const Metadata* like, const WriteSettings& settings) {
    return Guarded([&] {
        if (!settings.format) throw std::invalid_argument("Encode: give the format");
        const Format format = FormatFor("-", settings);
        return detail::EncodeImage(Internal(pixels), Internal(settings, format, like), "-");
    });
}

void Write(const std::string& path, const Pixels& pixels, const Metadata* like,
           const WriteSettings& settings) {
    Guarded([&] {
        const Format format = FormatFor(path, settings);
        const detail::Image image = Internal(pixels);
        detail::OutputFile file(path, settings.force, false);
        detail::WriteImage(image, Internal(settings, format, like), file.stream(), path);
        file.Commit();
    });
}

}  // namespace zv::photo
