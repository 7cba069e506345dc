#pragma once
// The datagram loop shared by the NEXRA readers: each datagram of the wanted
// type is read whole into the caller's buffer, length field included, and
// handed to the handler; other types are read and dropped, datagrams larger
// than the buffer are passed over with one seek.
#include <QDebug>
#include <QIODevice>
#include <QtGlobal>

#include <cstring>

#include "cnexrautils.h"

namespace nexra {

enum class Next { Continue, Stop };

// Smallest datagram that holds its length and its type.
constexpr quint32 minimumDatagramLength = 8;

// handler(quint32 length) -> Next; buffer[0, length) holds the datagram.
template <typename Handler>
void readDatagrams(QIODevice &file, quint8 *buffer, quint32 capacity, const char *type,
                   const char *tooBigMessage, Handler &&handler)
{
    char *bytes = reinterpret_cast<char *>(buffer);
    while (!file.atEnd()) {
        const qint64 start = file.pos();
        if (file.read(bytes, 4) != 4)
            return;
        const quint32 length = readU32(buffer);
        if (length > capacity) {
            file.read(bytes + 4, 16);
            qDebug().nospace() << tooBigMessage << length;
            if (!file.seek(start + qint64(length)))
                return;
            continue;
        }
        if (length < minimumDatagramLength) {
            // No room for a type: the framing is lost, the rest cannot be trusted.
            qDebug().nospace() << "datagram length too small " << length;
            return;
        }
        if (file.read(bytes + 4, length - 4) != qint64(length - 4)) {
            qDebug() << "cannot read all data for datagram";
            return;
        }
        if (std::memcmp(bytes + 4, type, 4) != 0)
            continue;
        if (handler(length) == Next::Stop)
            return;
    }
}

} // namespace nexra
