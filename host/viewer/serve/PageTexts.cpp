#include "viewer/serve/PageTexts.h"

#include "foundation/NSBundle.h"

#include <nlohmann/json.hpp>

namespace viewer {

std::string pageTextsJson()
{
    NSBundle* bundle = NSBundle::mainBundle();
    nlohmann::json texts = nlohmann::json::object();
    for (const auto& [english, text] : bundle->localizedTable("Page"))
        texts[english] = text;
    const nlohmann::json answer { { "language", bundle->preferredLanguageTag() }, { "texts", std::move(texts) } };
    return answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace viewer
