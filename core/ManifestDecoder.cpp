#include "ManifestDecoder.hpp"

#include <simdjson.h>

#include <array>
#include <optional>
#include <string>

#include "ManifestDecodingError.hpp"
#include "UrlSyntax.hpp"
#include "WallpaperRecordKey.hpp"

namespace lumivo {

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;
using Key = WallpaperRecordKey;

// The values of one record object, indexed by key, before type checks.
using Slots = std::array<std::optional<element>, wallpaperRecordKeyCount>;

[[noreturn]] void fail(std::size_t index, Key key, std::string_view fault) {
    throw ManifestDecodingError("element " + std::to_string(index) + ": key \"" +
                                std::string(keyName(key)) + "\" " + std::string(fault));
}

// Reads the fields of one element with their type checks. Values are views
// into the parsed document; nothing is copied until a record is built.
class RecordReader {
  public:
    RecordReader(std::size_t index, const Slots& slots) : index_(index), slots_(slots) {}

    std::string_view text(Key key) const {
        std::string_view value;
        if (present(key).get_string().get(value) != simdjson::SUCCESS) {
            fail(index_, key, "must be a string");
        }
        return value;
    }

    std::string_view url(Key key) const {
        std::string_view value;
        if (present(key).get_string().get(value) != simdjson::SUCCESS) {
            fail(index_, key, "must be a string holding a URL");
        }
        if (!isValidUrlReference(value)) {
            fail(index_, key, "is not a valid URL");
        }
        return value;
    }

    Url parsedUrl(Key key, std::string_view text) const {
        auto parsed = Url::parse(text);
        if (!parsed) {
            fail(index_, key, "is not a valid URL");
        }
        return *std::move(parsed);
    }

    std::int64_t integer(Key key) const {
        const element value = present(key);
        switch (value.type()) {
            case element_type::INT64:
                return value.get_int64().value_unsafe();
            case element_type::UINT64:
                fail(index_, key, "is out of the signed 64-bit range");
            default:
                fail(index_, key, "must be an integer");
        }
    }

    double number(Key key) const {
        const element value = present(key);
        switch (value.type()) {
            case element_type::INT64:
                return static_cast<double>(value.get_int64().value_unsafe());
            case element_type::UINT64:
                return static_cast<double>(value.get_uint64().value_unsafe());
            case element_type::DOUBLE:
                return value.get_double().value_unsafe();
            default:
                fail(index_, key, "must be a number");
        }
    }

  private:
    element present(Key key) const {
        const auto& slot = slots_[static_cast<std::size_t>(key)];
        if (!slot) {
            fail(index_, key, "is missing");
        }
        if (slot->is_null()) {
            fail(index_, key, "must not be null");
        }
        return *slot;
    }

    std::size_t index_;
    const Slots& slots_;
};

// Checks one element completely; builds its record only when `select`
// accepts its id.
std::optional<WallpaperRecord> decodeRecord(std::size_t index, element value,
                                            const ManifestDecoder::Selector& select) {
    simdjson::dom::object object;
    if (value.get_object().get(object) != simdjson::SUCCESS) {
        throw ManifestDecodingError("element " + std::to_string(index) + " must be an object");
    }
    Slots slots;
    for (const auto field : object) {
        const auto key = wallpaperRecordKey(field.key);
        if (!key) {
            continue;
        }
        auto& slot = slots[static_cast<std::size_t>(*key)];
        if (slot) {
            fail(index, *key, "occurs more than once");
        }
        slot = field.value;
    }
    // Read in field order, so the first fault reported is the first field's.
    const RecordReader r(index, slots);
    const auto id = r.text(Key::id);
    const auto slug = r.text(Key::slug);
    const auto title = r.text(Key::title);
    const auto category = r.text(Key::category);
    const auto thumbnailUrl = r.url(Key::thumbnailUrl);
    const auto videoUrl = r.url(Key::videoUrl);
    const auto sha256 = r.text(Key::sha256);
    const auto bytes = r.integer(Key::bytes);
    const auto duration = r.number(Key::duration);
    const auto width = r.integer(Key::width);
    const auto height = r.integer(Key::height);
    const auto format = r.text(Key::format);
    const auto updatedAt = r.text(Key::updatedAt);
    if (!select(id)) {
        return std::nullopt;
    }
    return WallpaperRecord(std::string(id), std::string(slug), std::string(title),
                           std::string(category), r.parsedUrl(Key::thumbnailUrl, thumbnailUrl),
                           r.parsedUrl(Key::videoUrl, videoUrl), std::string(sha256), bytes,
                           duration, width, height, std::string(format), std::string(updatedAt));
}

// Checks a parse result and walks its elements.
std::vector<WallpaperRecord> decodeDocument(simdjson::simdjson_result<element> parsed,
                                            const ManifestDecoder::Selector& select) {
    element document;
    if (const auto error = std::move(parsed).get(document)) {
        throw ManifestDecodingError(std::string("not valid JSON: ") +
                                    simdjson::error_message(error));
    }
    simdjson::dom::array elements;
    if (document.get_array().get(elements) != simdjson::SUCCESS) {
        throw ManifestDecodingError("the top level must be an array");
    }
    std::vector<WallpaperRecord> records;
    std::size_t index = 0;
    for (const element value : elements) {
        if (auto record = decodeRecord(index++, value, select)) {
            records.push_back(*std::move(record));
        }
    }
    return records;
}

void refuseByteOrderMark(std::string_view json) {
    if (json.substr(0, 3) == "\xEF\xBB\xBF") {
        throw ManifestDecodingError("not valid JSON: a byte order mark is not allowed");
    }
}

}  // namespace

static_assert(ManifestDecoder::padding == simdjson::SIMDJSON_PADDING);

struct ManifestDecoder::Parser {
    simdjson::dom::parser parser;
};

ManifestDecoder::ManifestDecoder() : parser_(std::make_unique<Parser>()) {}
ManifestDecoder::~ManifestDecoder() = default;
ManifestDecoder::ManifestDecoder(ManifestDecoder&&) noexcept = default;
ManifestDecoder& ManifestDecoder::operator=(ManifestDecoder&&) noexcept = default;

std::vector<WallpaperRecord> ManifestDecoder::decode(std::string_view json) {
    return decode(json, [](std::string_view) { return true; });
}

std::vector<WallpaperRecord> ManifestDecoder::decode(std::string_view json,
                                                     const Selector& select) {
    refuseByteOrderMark(json);
    simdjson::dom::parser parser;
    return decodeDocument(parser.parse(json.data(), json.size()), select);
}

std::vector<WallpaperRecord> ManifestDecoder::parse(const std::string& json,
                                                    const Selector& select) {
    refuseByteOrderMark(json);
    return decodeDocument(parser_->parser.parse(json), select);
}

}  // namespace lumivo
