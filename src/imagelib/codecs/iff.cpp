// Placeholder until the reader lands.
#include "imagelib/codecs/codec.h"

namespace imagelib {
const Codec* iffCodec() { return absentCodec(); }
}  // namespace imagelib
