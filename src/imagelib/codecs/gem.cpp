// Placeholder until the reader lands.
#include "imagelib/codecs/codec.h"

namespace imagelib {
const Codec* gemCodec() { return absentCodec(); }
}  // namespace imagelib
