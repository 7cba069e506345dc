#pragma once
// Locators of the sub-blocks of a "#MRZ" depth datagram held in memory. The
// datagram starts with its little-endian uint32 length L, and its L bytes must
// be readable. Every address is computed in 64 bits from the sizes the
// datagram declares; a locator gives null when a size it reads or the
// address itself would not lie inside the datagram.
#include <QtGlobal>

#include <cstring>
#include <memory>

class CNexraUtils
{
public:
    // The process-wide instance, created on first use (the data object's
    // constructor, GUI thread); released at process exit.
    static std::shared_ptr<CNexraUtils> instance();

    // Start R of the receiver-information block, or null.
    const quint8 *mrzRxInfo(const quint8 *datagram) const;
    // Start A of the sounding array, or null.
    const quint8 *mrzSoundings(const quint8 *datagram) const;
};

namespace nexra {

// Little-endian field readers for unaligned datagram bytes.
inline quint16 readU16(const quint8 *p)
{
    return quint16(p[0] | (p[1] << 8));
}

inline quint32 readU32(const quint8 *p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

inline float readF32(const quint8 *p)
{
    const quint32 bits = readU32(p);
    float value;
    static_assert(sizeof(value) == sizeof(bits), "float32 expected");
    memcpy(&value, &bits, sizeof value);
    return value;
}

inline double readF64(const quint8 *p)
{
    const quint64 bits = quint64(readU32(p)) | (quint64(readU32(p + 4)) << 32);
    double value;
    static_assert(sizeof(value) == sizeof(bits), "float64 expected");
    memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace nexra
