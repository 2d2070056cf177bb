#pragma once

#include <QByteArray>
#include <QString>

// Buffers of megabytes that are filled once (a clipboard transfer, the text decoded from
// it). Fresh memory costs a page fault for every 4 KB written; on a virtual machine those
// faults took a third of the time of a 20 MB clipboard read. Large buffers are therefore
// offered to the system for huge pages, where it has them; smaller ones are left alone.

// Advises huge pages for the whole pages inside [data, data + bytes).
void PreferHugePages(void* data, qsizetype bytes);
// Room for `capacity` bytes, advised for huge pages when large.
void ReserveLarge(QByteArray& bytes, qsizetype capacity);
// QString::fromUtf8 of the bytes (NULs kept, invalid sequences as U+FFFD, a leading byte
// order mark dropped), written into a buffer advised for huge pages when large.
QString DecodeLargeUtf8(QByteArrayView bytes);
