// Placeholder until the WebP and HEIF readers land.
#include "imagelib/codecs/codec.h"

namespace imagelib {
const Codec* webpCodec() { return absentCodec(); }
const Codec* heifCodec() { return absentCodec(); }
const Codec* avifCodec() { return absentCodec(); }
}  // namespace imagelib
