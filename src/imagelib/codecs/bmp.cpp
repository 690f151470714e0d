// Placeholder until the bmp reader lands.
#include "imagelib/codecs/codec.h"

namespace imagelib {
namespace {
class Placeholder final : public Codec {
public:
    int format() const override { return -2; }
    QString description() const override { return QStringLiteral("bmp"); }
    QStringList extensions() const override { return {QStringLiteral("bmp")}; }
    bool sniff(QByteArrayView) const override { return false; }
    bool readHeader(SourceFile&, HeaderInfo&) const override { return false; }
    bool decode(SourceFile&, const DecodeContext&, Picture&) const override { return false; }
};
}  // namespace
const Codec* bmpCodec()
{
    static const Placeholder codec;
    return &codec;
}
}  // namespace imagelib
