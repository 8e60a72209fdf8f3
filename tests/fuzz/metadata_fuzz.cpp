// libFuzzer target: any bytes as a file through the container walker and,
// where it finds an EXIF block, libexif; and as text through the parsers of
// tokens, names and dates. Each call must end, within the read limit,
// without a fault the sanitizers see.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/metadata/container_walk.h"
#include "engine/metadata/date_text.h"
#include "engine/metadata/exif_block.h"
#include "engine/metadata/field_tokens.h"
#include "engine/metadata/name_date.h"
#include "tests/fake_file_reader.h"

using namespace quil::metadata;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    quil::testing::MemoryFile file(bytes);
    BoundedFile bounded(file);
    const ContainerFindings found = WalkContainer(bounded, true);
    if (bounded.bytesRead() > kReadLimit) std::abort();
    if (!found.exif.empty()) ReadExif(found.exif);
    DateValue date;
    if (!found.quickTimeCreationDate.empty()) ParseIsoDateTime(found.quickTimeCreationDate, date);

    // The text parsers, over the first line of the input.
    const std::string text = bytes.substr(0, std::min<std::size_t>(bytes.find('\n'), 256));
    DateInName(text);
    for (std::size_t at = text.find('{'); at != std::string::npos; at = text.find('{', at + 1)) {
        FieldToken token;
        TokenError error;
        ParseFieldToken(text, at, token, error);
    }
    return 0;
}
