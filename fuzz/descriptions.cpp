// The descript.ion reader and writer over arbitrary bytes: what it reads it writes back in a form
// it reads the same way again, and an entry it sets is the one it then finds.

#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QString>

#include "fileops/descriptiontext.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::optional<DescriptionText> text = DescriptionText::parse(fuzz::bytesOf(data, size).toByteArray());
    if (!text)
        return 0;
    const QByteArray written = text->serialize();
    const std::optional<DescriptionText> again = DescriptionText::parse(written);
    fuzz::require(again.has_value(), "its own output refused");
    fuzz::require(again->serialize() == written, "a second save differs from the first");

    // Names the input already holds are the interesting ones; take one from its first line.
    const QString firstLine = QString::fromUtf8(written.left(written.indexOf('\n'))).trimmed();
    const QString name = firstLine.section(u' ', 0, 0).remove(u'"');
    for (const QString& candidate : {name, QStringLiteral("a.jpg")}) {
        if (!DescriptionText::canStore(candidate))
            continue;
        text->set(candidate, QStringLiteral("set by the fuzzer"));
        fuzz::require(text->find(candidate) == QStringLiteral("set by the fuzzer"), "a set entry is not found");
        text->set(candidate, QString());
        fuzz::require(!text->find(candidate).has_value(), "a cleared entry is still found");
    }
    return 0;
}
