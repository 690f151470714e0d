// Placeholder until the icon and cursor readers land.
#include "imagelib/codecs/codec.h"

namespace imagelib {
const Codec* icoCodec() { return absentCodec(); }
const Codec* curCodec() { return absentCodec(); }
}  // namespace imagelib
