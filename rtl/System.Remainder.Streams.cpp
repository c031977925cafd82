#include "System.Remainder.Streams.h"

#include <algorithm>
#include <cstring>

#include "System.Remainder.Exceptions.h"

namespace System {

namespace {

// Calls move(offset, remaining) until count bytes have moved. A first call
// may move nothing; a negative first result or a later one of 0 or less fails.
template <class Move, class Fail>
void MoveWhole(int64_t count, Move move, Fail fail) {
    int64_t done = 0;
    for (bool first = true; done < count; first = false) {
        const int64_t moved = move(done, count - done);
        if (first ? moved < 0 : moved <= 0) fail();
        done += moved;
    }
}

// Positions wrap instead of overflowing: they are never clamped anyway.
int64_t WrappingAdd(int64_t a, int64_t b) {
    return int64_t(uint64_t(a) + uint64_t(b));
}

} // namespace

int64_t TStream::GetSize() {
    const int64_t position = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(position, soBeginning);
    return size;
}

void TStream::SetSize(int64_t) {}

void TStream::RaiseReadError() {
    throw EReadError(u"leitura além do fim do stream");
}

void TStream::RaiseWriteError() {
    throw EWriteError(u"escrita não coube no stream");
}

int64_t TStream::Read(void*, int64_t) {
    throw EAbstractError(u"TStream", u"Read");
}

int64_t TStream::Write(const void*, int64_t) {
    throw EAbstractError(u"TStream", u"Write");
}

int64_t TStream::Seek(int64_t, int32_t) {
    throw EAbstractError(u"TStream", u"Seek");
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    MoveWhole(
        count, [&](int64_t done, int64_t rest) { return Read(static_cast<char*>(buffer) + done, rest); },
        [&] { RaiseReadError(); });
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    MoveWhole(
        count,
        [&](int64_t done, int64_t rest) { return Write(static_cast<const char*>(buffer) + done, rest); },
        [&] { RaiseWriteError(); });
}

int64_t TCustomMemoryStream::Read(void* buffer, int64_t count) {
    if (position_ < 0 || count <= 0 || position_ >= size_) return 0;
    const int64_t n = std::min(count, size_ - position_);
    std::memcpy(buffer, static_cast<const char*>(memory_) + position_, size_t(n));
    position_ += n;
    return n;
}

int64_t TCustomMemoryStream::Seek(int64_t offset, int32_t origin) {
    switch (origin) {
    case soBeginning: position_ = offset; break;
    case soCurrent: position_ = WrappingAdd(position_, offset); break;
    case soEnd: position_ = WrappingAdd(size_, offset); break;
    default: break;
    }
    return position_;
}

void TCustomMemoryStream::SaveToStream(TStream& target) {
    if (size_ > 0) target.WriteBuffer(memory_, size_);
}

} // namespace System
