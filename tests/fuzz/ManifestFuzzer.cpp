// Any bytes either decode into records or fail with a ManifestDecodingError;
// a store over the same bytes throws nothing but HelperError.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "HelperError.hpp"
#include "ManifestDecoder.hpp"
#include "ManifestDecodingError.hpp"
#include "ManifestStore.hpp"

namespace {

class BytesLoader : public lumivo::ManifestDataLoading {
  public:
    explicit BytesLoader(std::string bytes) : bytes_(std::move(bytes)) {}
    std::string loadData(const lumivo::Url&, std::stop_token) override { return bytes_; }

  private:
    std::string bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::size_t decoded = 0;
    try {
        for (const auto& record : lumivo::ManifestDecoder::decode(bytes)) {
            (void)record.videoUrl().pathExtension();
            ++decoded;
        }
    } catch (const lumivo::ManifestDecodingError&) {
        return 0;
    }

    const lumivo::ManifestStore store(*lumivo::Url::parse("file:///manifest.json"),
                                      std::make_unique<BytesLoader>(bytes));
    try {
        const auto records = store.allRecords();
        if (records.size() != decoded) {
            std::abort();
        }
        const auto found = store.record(records.back().id());
        if (!found || found->id() != records.back().id()) {
            std::abort();
        }
    } catch (const lumivo::HelperError& error) {
        using C = lumivo::HelperError::Case;
        if (error.kind() != C::emptyManifest && error.kind() != C::duplicateManifestID) {
            std::abort();
        }
    }
    return 0;
}
