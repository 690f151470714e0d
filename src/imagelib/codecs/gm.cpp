// Placeholder until the GraphicsMagick readers land.
#include "imagelib/codecs/codec.h"

namespace imagelib {
const Codec* pcxCodec() { return absentCodec(); }
const Codec* dcxCodec() { return absentCodec(); }
const Codec* pbmCodec() { return absentCodec(); }
const Codec* pgmCodec() { return absentCodec(); }
const Codec* ppmCodec() { return absentCodec(); }
const Codec* tgaCodec() { return absentCodec(); }
const Codec* pcdCodec() { return absentCodec(); }
const Codec* wbmpCodec() { return absentCodec(); }
const Codec* sunCodec() { return absentCodec(); }
const Codec* sgiCodec() { return absentCodec(); }
const Codec* xbmCodec() { return absentCodec(); }
const Codec* xpmCodec() { return absentCodec(); }
const Codec* wmfCodec() { return absentCodec(); }
const Codec* apmCodec() { return absentCodec(); }
const Codec* wpgCodec() { return absentCodec(); }
}  // namespace imagelib
