// Placeholder until the writers land.
#include "imagelib/codecs/codec.h"

namespace imagelib {
const Writer* pcxWriter() { return absentWriter(); }
const Writer* dcxWriter() { return absentWriter(); }
const Writer* pbmWriter() { return absentWriter(); }
const Writer* pgmWriter() { return absentWriter(); }
const Writer* ppmWriter() { return absentWriter(); }
const Writer* psdWriter() { return absentWriter(); }
const Writer* tgaWriter() { return absentWriter(); }
const Writer* wbmpWriter() { return absentWriter(); }
}  // namespace imagelib
