// Placeholder until the reader lands.
#include "imagelib/codecs/codec.h"

namespace imagelib {
const Codec* emfCodec() { return absentCodec(); }
}  // namespace imagelib
