#pragma once
// What every fuzz target shares: the cancellation rule and the contract checks that turn a
// broken promise of a codec into a crash libFuzzer reports.

#include <cstddef>
#include <cstdint>

#include <QByteArrayView>

namespace fuzz {

// Stops the run (libFuzzer then keeps the input) when a codec breaks its contract.
void require(bool condition, const char* what);

// Puts the image library's fuzzing limits in force, as the codec libraries' own fuzzers lower
// theirs: a few megapixels a slide, so that a hostile header within them costs milliseconds rather
// than a gigabyte canvas and every target tries thousands of inputs a second. Called once, before
// the first input.
void lowerLimits();

// Decides from the input alone whether a decode is cancelled, so that cancellation paths are
// reached and a crash there reproduces from the saved input: one input in sixteen (low nibble of
// the last byte all ones) cancels at the n-th progress report, n being its high nibble.
class ProgressRule {
public:
    explicit ProgressRule(QByteArrayView input);
    // One progress report; false once the decode is to be cancelled.
    bool report(int percent);

private:
    int m_reports = 0;
    int m_stopAt = -1;
};

inline QByteArrayView bytesOf(const std::uint8_t* data, std::size_t size)
{
    return QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
}

} // namespace fuzz
