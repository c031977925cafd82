#include "System.Compress.Zlib.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Text.h"

namespace System {

namespace {

// Every init in this system names zlib's major version only.
constexpr char kZlibVersion[] = "1";

// One inflate or deflate run over a whole input into a growing output.
class TZlibRun {
public:
    TZlibRun(const TBytes& input, size_t capacity) : input_(input), output_(capacity) {
        stream.next_in = const_cast<Bytef*>(input.data());
    }

    // One call of `step` with all the input that one call takes and the free
    // output space, flushing with `lastFlush` once zlib holds the last of the
    // input; returns zlib's code.
    int Step(int (*step)(z_streamp, int), int lastFlush) {
        if (stream.avail_in == 0) stream.avail_in = uInt(std::min<size_t>(InputLeft(), UINT_MAX));
        const int flush = InputLeft() == 0 ? lastFlush : Z_NO_FLUSH;
        stream.next_out = output_.data() + produced_;
        stream.avail_out = uInt(std::min<size_t>(output_.size() - produced_, UINT_MAX));
        const uInt offered = stream.avail_out;
        const int code = step(&stream, flush);
        produced_ += offered - stream.avail_out;
        return code;
    }

    // Input not yet handed to zlib.
    size_t InputLeft() const { return input_.size() - size_t(stream.next_in - input_.data()) - stream.avail_in; }
    bool AllInputTaken() const { return stream.avail_in == 0 && InputLeft() == 0; }

    bool OutputFull() const { return produced_ == output_.size(); }
    size_t Capacity() const { return output_.size(); }
    size_t Produced() const { return produced_; }
    void Grow(size_t capacity) { output_.resize(capacity); }
    TBytes Result() {
        output_.resize(produced_);
        return std::move(output_);
    }

    z_stream stream{};

private:
    const TBytes& input_;
    TBytes output_;
    size_t produced_ = 0;
};

using TStreamEnd = std::unique_ptr<z_stream, int (*)(z_streamp)>;

[[noreturn]] void RaiseLimit(int64_t limit) {
    throw EZlibError(u"conteudo inflado passou do limite de " + Int64ToStr(limit) + u" bytes", Z_BUF_ERROR);
}

} // namespace

TBytes InflateBytes(const TBytes& input, int32_t windowBits, int64_t limit) {
    if (input.empty()) return {};
    limit = std::max<int64_t>(limit, 0);
    // Room for one byte past the limit tells a stream that fits exactly from
    // one that is too long.
    const size_t ceiling = size_t(std::min<int64_t>(limit, INT64_MAX - 1)) + 1;
    const size_t estimate = input.size() > 1365 ? input.size() * 3 : 4096;
    TZlibRun run(input, std::min(estimate, ceiling));
    const int init = inflateInit2_(&run.stream, windowBits, kZlibVersion, int(sizeof(z_stream)));
    if (init != Z_OK) throw EZlibError(u"inflateInit2 recusou", init);
    const TStreamEnd end(&run.stream, inflateEnd);
    for (;;) {
        if (run.OutputFull()) {
            if (run.Capacity() >= ceiling) RaiseLimit(limit);
            run.Grow(std::min(run.Capacity() * 2, ceiling));
        }
        const int code = run.Step(inflate, Z_NO_FLUSH);
        if (code == Z_STREAM_END) {
            if (run.Produced() > size_t(limit)) RaiseLimit(limit);
            return run.Result();
        }
        if (code == Z_OK) continue;
        if (code == Z_BUF_ERROR) {
            if (run.AllInputTaken()) throw EZlibError(u"fluxo comprimido acabou no meio", Z_BUF_ERROR);
            continue;
        }
        throw EZlibError(u"inflate falhou", code);
    }
}

TBytes DeflateBytes(const TBytes& input, int32_t level) {
    if (input.empty()) return {};
    TZlibRun run(input, input.size() + input.size() / 10 + 128);
    // Window bits 31: the gzip format.
    const int init = deflateInit2_(&run.stream, level, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY, kZlibVersion,
                                   int(sizeof(z_stream)));
    if (init != Z_OK) throw EZlibError(u"deflateInit2 recusou", init);
    const TStreamEnd end(&run.stream, deflateEnd);
    for (;;) {
        if (run.OutputFull()) run.Grow(run.Capacity() * 2);
        const int code = run.Step(deflate, Z_FINISH);
        if (code == Z_STREAM_END) return run.Result();
        if (code != Z_OK && code != Z_BUF_ERROR) throw EZlibError(u"deflate falhou", code);
    }
}

} // namespace System
