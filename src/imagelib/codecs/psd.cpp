// Placeholder until the reader lands.
#include "imagelib/codecs/codec.h"

namespace imagelib {
const Codec* psdCodec() { return absentCodec(); }
}  // namespace imagelib
