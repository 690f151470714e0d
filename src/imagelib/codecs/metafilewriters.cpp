// Placeholder until the metafile writers land.
#include "imagelib/codecs/codec.h"

namespace imagelib {
const Writer* wmfWriter() { return absentWriter(); }
const Writer* apmWriter() { return absentWriter(); }
const Writer* emfWriter() { return absentWriter(); }
}  // namespace imagelib
