// SPDX-License-Identifier: MIT
// TIFF through libtiff, on the file's bytes in memory (libtiff seeks back and
// forth both ways). Its errors come to a handler of this handle, so nothing
// is global; libtiff's RGBA reader turns every photometric, bit depth and
// compression it knows into 8-bit samples.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "photo/failure.h"
#include "photo/image_io.h"

namespace zv::photo::detail {

namespace {

struct Memory {
    std::string bytes;
    size_t at = 0;
    std::string error;  // libtiff's first error
};

Memory& Of(thandle_t h) {
    return *static_cast<Memory*>(h);
}

tmsize_t Read(thandle_t h, void* data, tmsize_t size) {
    Memory& m = Of(h);
    const size_t n =
        std::min(static_cast<size_t>(size), m.bytes.size() - std::min(m.at, m.bytes.size()));
    std::memcpy(data, m.bytes.data() + m.at, n);
    m.at += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t Write(thandle_t h, void* data, tmsize_t size) {
    Memory& m = Of(h);
    const size_t n = static_cast<size_t>(size);
    if (m.bytes.size() < m.at + n) m.bytes.resize(m.at + n);
    std::memcpy(m.bytes.data() + m.at, data, n);
    m.at += n;
    return size;
}

toff_t Seek(thandle_t h, toff_t offset, int whence) {
    Memory& m = Of(h);
    const toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m.at : m.bytes.size();
    m.at = static_cast<size_t>(base + offset);
    return m.at;
}

int Close(thandle_t) {
    return 0;
}
toff_t Size(thandle_t h) {
    return Of(h).bytes.size();
}
int Map(thandle_t, void**, toff_t*) {
    return 0;
}
void Unmap(thandle_t, void*, toff_t) {}

int OnError(TIFF*, void* user, const char*, const char* format, va_list args) {
    Memory& m = *static_cast<Memory*>(user);
    if (m.error.empty()) {
        char text[300];
        std::vsnprintf(text, sizeof text, format, args);
        m.error = text;
    }
    return 1;
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct Handle {
    TIFF* tiff = nullptr;
    ~Handle() {
        if (tiff) TIFFClose(tiff);
    }
};

TIFF* Open(Memory& memory, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &memory);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t{1} << 30);
    TIFF* tiff = TIFFClientOpenExt("image", mode, &memory, Read, Write, Seek, Close, Size, Map,
                                   Unmap, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

[[noreturn]] void Fail(const std::string& path, const char* what, const Memory& memory) {
    FailFile(path, std::string(what) + (memory.error.empty() ? "" : ": " + memory.error));
}

// 8-bit RGB or RGBA in strips, read as stored: libtiff's RGBA reader would
// premultiply the alpha of the files this tool writes.
bool IsPlainRgb8(TIFF* t) {
    uint16_t bits = 0, samples = 0, photometric = 0, planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    return bits == 8 && (samples == 3 || samples == 4) && photometric == PHOTOMETRIC_RGB &&
           planar == PLANARCONFIG_CONTIG && !TIFFIsTiled(t);
}

Image ReadScanlines(TIFF* t, const Memory& memory, uint32_t width, uint32_t height,
                    const std::string& path) {
    uint16_t samples = 0;
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
    Image image(static_cast<int32_t>(width), static_cast<int32_t>(height), samples);
    if (TIFFScanlineSize64(t) != image.RowBytes()) Fail(path, "bad TIFF", memory);
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(t, image.Row(static_cast<int32_t>(y)), y, 0) < 0) {
            Fail(path, "bad TIFF", memory);
        }
    }
    return image;
}

}  // namespace

Image ReadTiff(std::FILE* file, const std::string& path) {
    Memory memory;
    memory.bytes = ReadAll(file, path);
    Handle h;
    h.tiff = Open(memory, "rm");
    if (!h.tiff) Fail(path, "bad TIFF", memory);
    uint32_t width = 0, height = 0;
    TIFFGetField(h.tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(h.tiff, TIFFTAG_IMAGELENGTH, &height);
    CheckImageSize(path, width, height);
    if (IsPlainRgb8(h.tiff)) return ReadScanlines(h.tiff, memory, width, height, path);
    char message[1024] = "";
    TIFFRGBAImage reader{};
    if (!TIFFRGBAImageOK(h.tiff, message) || !TIFFRGBAImageBegin(&reader, h.tiff, 0, message)) {
        FailFile(path, std::string("unsupported TIFF: ") + message);
    }
    // The stored order: EXIF orientation is applied, or not, by the caller.
    reader.orientation = ORIENTATION_TOPLEFT;
    reader.req_orientation = ORIENTATION_TOPLEFT;
    const bool alpha = reader.alpha != 0;
    std::vector<uint32_t> raster(static_cast<size_t>(width) * height);
    const int ok = TIFFRGBAImageGet(&reader, raster.data(), width, height);
    TIFFRGBAImageEnd(&reader);
    if (!ok || !memory.error.empty()) Fail(path, "bad TIFF", memory);
    Image image(static_cast<int32_t>(width), static_cast<int32_t>(height), alpha ? 4 : 3);
    uint8_t* to = image.pixels.data();
    for (const uint32_t p : raster) {
        *to++ = static_cast<uint8_t>(TIFFGetR(p));
        *to++ = static_cast<uint8_t>(TIFFGetG(p));
        *to++ = static_cast<uint8_t>(TIFFGetB(p));
        if (alpha) *to++ = static_cast<uint8_t>(TIFFGetA(p));
    }
    return image;
}

void WriteTiff(const Image& image, const WriteSettings& settings, std::FILE* file,
               const std::string& path) {
    Memory memory;
    {
        Handle h;
        h.tiff = Open(memory, image.pixels.size() >= (uint64_t{4} << 30) ? "w8" : "w");
        if (!h.tiff) Fail(path, "cannot write TIFF", memory);
        TIFF* t = h.tiff;
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.width));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.height));
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(image.channels));
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t{8});
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        if (image.channels == 4) TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t{1}, &extra);
        // Deflate over horizontal differences, the level as for PNG.
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(t, TIFFTAG_ZIPQUALITY, settings.level < 0 ? 2 : std::max(1, settings.level));
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
        // The predictor works in place, so each row goes through a copy.
        std::vector<uint8_t> row(image.RowBytes());
        for (int32_t y = 0; y < image.height; ++y) {
            std::copy(image.Row(y), image.Row(y) + row.size(), row.begin());
            if (TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0) < 0) {
                Fail(path, "cannot write TIFF", memory);
            }
        }
        if (!TIFFWriteDirectory(t)) Fail(path, "cannot write TIFF", memory);
    }
    errno = 0;
    if (std::fwrite(memory.bytes.data(), 1, memory.bytes.size(), file) != memory.bytes.size()) {
        FailIo(path, "cannot write", errno ? errno : EIO);
    }
}

}  // namespace zv::photo::detail
