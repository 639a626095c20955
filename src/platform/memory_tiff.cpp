#include "platform/memory_tiff.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

tsize_t MemRead(thandle_t h, tdata_t data, tsize_t size) {
    auto* m = static_cast<MemoryTiff*>(h);
    if (m->position >= m->bytes.size()) return 0;
    const auto n = std::min<toff_t>(size, m->bytes.size() - m->position);
    std::memcpy(data, m->bytes.data() + m->position, n);
    m->position += n;
    return static_cast<tsize_t>(n);
}

tsize_t MemWrite(thandle_t h, tdata_t data, tsize_t size) {
    auto* m = static_cast<MemoryTiff*>(h);
    const auto end = m->position + static_cast<toff_t>(size);
    if (end > m->bytes.size()) m->bytes.resize(end);
    std::memcpy(m->bytes.data() + m->position, data, static_cast<std::size_t>(size));
    m->position = end;
    return size;
}

toff_t MemSeek(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<MemoryTiff*>(h);
    toff_t base = 0;
    if (whence == SEEK_CUR) base = m->position;
    if (whence == SEEK_END) base = m->bytes.size();
    m->position = base + offset;
    return m->position;
}

int MemClose(thandle_t) {
    return 0;
}
toff_t MemSize(thandle_t h) {
    return static_cast<MemoryTiff*>(h)->bytes.size();
}
int MemMap(thandle_t, tdata_t*, toff_t*) {
    return 0;
}
void MemUnmap(thandle_t, tdata_t, toff_t) {}

}  // namespace

TIFF* OpenMemoryTiff(MemoryTiff& memory, const char* mode) {
    return TIFFClientOpen("memory", mode, &memory, MemRead, MemWrite, MemSeek, MemClose, MemSize,
                          MemMap, MemUnmap);
}

void SetG4PageTags(TIFF* tif, int width, int height) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(height));
}

}  // namespace platform
