// BlockQueue fed a byte stream in slices of any size, with takes and clears in between: what
// it hands out is the stream since the last clear cut in whole blocks, in order, and it always
// knows how many bytes the next block still needs. The fuzz input gives the stream from its
// front and the operations and slice sizes from its back.
#include "FuzzSupport.h"

#include "link/BlockQueue.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QByteArrayView>

#include <string>

namespace {

enum class Step { Append, Take, Clear };

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    BlockQueue queue;
    QByteArray stream; // appended since the last clear
    qsizetype taken = 0; // bytes of the stream handed out in blocks

    while (input.remaining_bytes() > 0) {
        const int choice = input.ConsumeIntegralInRange(0, 15);
        const Step step = choice == 0 ? Step::Clear : choice < 6 ? Step::Take : Step::Append;
        if (step == Step::Append) {
            const std::string slice =
                input.ConsumeBytesAsString(input.ConsumeIntegralInRange<size_t>(0, 3 * SampleBlockBytes));
            queue.append(slice.data(), qint64(slice.size()));
            stream.append(slice.data(), qsizetype(slice.size()));
        } else if (step == Step::Take) {
            SampleBlock block;
            const bool whole = stream.size() - taken >= SampleBlockBytes;
            check(queue.take(block) == whole, "hands out a block exactly when a whole one is waiting");
            if (whole) {
                const QByteArrayView got(reinterpret_cast<const char *>(block.data()), qsizetype(block.size()));
                check(got == stream.mid(taken, SampleBlockBytes), "blocks are the stream cut in 512s, in order");
                taken += SampleBlockBytes;
            }
        } else {
            queue.clear();
            stream.clear();
            taken = 0;
        }
        check(queue.size() == stream.size() - taken, "size() is the bytes not yet handed out");
        check(queue.missingForBlock() == SampleBlockBytes - queue.size() % SampleBlockBytes,
              "missingForBlock() is what the next block still needs");
    }
    return 0;
}
