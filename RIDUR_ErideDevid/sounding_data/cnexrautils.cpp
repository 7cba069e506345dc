#include "cnexrautils.h"

namespace {

std::shared_ptr<CNexraUtils> sharedInstance;

// Offsets within the datagram.
constexpr quint64 kFirstBlockSizeOffset = 24; // C, size of the block at 24
constexpr quint64 kEntryCountOffset = 128;    // S
constexpr quint64 kEntrySizeOffset = 94;      // E, from the ping-information block
constexpr quint64 kRxBlockSizeOffset = 0;     // N, from the receiver-information block
constexpr quint64 kExtraCountOffset = 28;     // X, from the receiver-information block

// A uint16 field at offset lies inside a datagram of the length.
bool fieldInside(quint64 offset, quint64 length)
{
    return offset + 2 <= length;
}

// Offset of R from the datagram start, or 0 when it cannot be located.
quint64 rxInfoOffset(const quint8 *datagram)
{
    const quint64 length = nexra::readU32(datagram);
    if (!fieldInside(kFirstBlockSizeOffset, length) || !fieldInside(kEntryCountOffset, length))
        return 0;
    const quint64 pingInfo = kFirstBlockSizeOffset + nexra::readU16(datagram + kFirstBlockSizeOffset);
    if (!fieldInside(pingInfo + kEntrySizeOffset, length))
        return 0;
    const quint64 pingInfoSize = nexra::readU16(datagram + pingInfo);
    const quint64 entrySize = nexra::readU16(datagram + pingInfo + kEntrySizeOffset);
    const quint64 entryCount = nexra::readU16(datagram + kEntryCountOffset);
    const quint64 rxInfo = pingInfo + pingInfoSize + entryCount * entrySize;
    return rxInfo < length ? rxInfo : 0;
}

} // namespace

std::shared_ptr<CNexraUtils> CNexraUtils::instance()
{
    if (!sharedInstance)
        sharedInstance = std::make_shared<CNexraUtils>();
    return sharedInstance;
}

const quint8 *CNexraUtils::mrzRxInfo(const quint8 *datagram) const
{
    const quint64 offset = rxInfoOffset(datagram);
    return offset ? datagram + offset : nullptr;
}

const quint8 *CNexraUtils::mrzSoundings(const quint8 *datagram) const
{
    const quint64 length = nexra::readU32(datagram);
    const quint64 rxInfo = rxInfoOffset(datagram);
    if (!rxInfo || !fieldInside(rxInfo + kExtraCountOffset, length))
        return nullptr;
    const quint64 rxInfoSize = nexra::readU16(datagram + rxInfo + kRxBlockSizeOffset);
    const quint64 extraCount = nexra::readU16(datagram + rxInfo + kExtraCountOffset);
    const quint64 soundings = rxInfo + rxInfoSize + 4 * extraCount;
    return soundings < length ? datagram + soundings : nullptr;
}
