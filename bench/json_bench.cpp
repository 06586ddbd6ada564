// Parse throughput of json::jsonParse against RapidJSON's DOM parser on one generated document of
// about 50 MB: an object with one member that holds a list of 200,000 objects with 8 string
// members each (the shape of a large repository response). Each iteration parses into a fresh
// tree, visits every string and drops the tree, so both sides pay for allocation and release.
//
//   ./build/json_bench --benchmark_repetitions=5
//
// RapidJSON is used with its defaults (kParseDefaultFlags, no in-situ parsing, no SIMD switch).

#include "core/json.hpp"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#ifdef KIVO_HAVE_RAPIDJSON
#include <rapidjson/document.h>
#endif

namespace json = RepositoryAccess::json;

namespace {

constexpr std::size_t kObjectCount = 200000;

// A small deterministic generator so that every run sees the same document.
class Random {
public:
    std::uint32_t next() {
        itsState = itsState * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(itsState >> 33);
    }
    std::uint32_t below(std::uint32_t theLimit) { return next() % theLimit; }

private:
    std::uint64_t itsState = 0x2545F4914F6CDD1Dull;
};

const char* const kWords[] = {"alpha", "beta",    "gamma",   "delta", "epsilon", "zeta",
                              "eta",   "theta",   "iota",    "kappa", "lambda",  "omicron",
                              "sigma", "tau",     "upsilon", "omega", "core",    "ui",
                              "model", "service", "data",    "util",  "test"};
const char* const kSuffixes[] = {"table", "txt", "script", "procedure",  "json",
                                 "model", "lib", "role",   "properties", "view"};
const char* const kUsers[] = {"SYSTEM",    "DEVELOPER_01", "ANNA.BERG",         "J_SMITH",
                              "TECH_USER", "KIVO_ADMIN",   "MARIA_GARCIA_LOPEZ"};

std::string word(Random& theRandom) {
    return kWords[theRandom.below(std::size(kWords))];
}

std::string number(Random& theRandom, std::uint32_t theLimit) {
    return std::to_string(theRandom.below(theLimit));
}

std::string timestamp(Random& theRandom) {
    char aBuffer[40];
    std::snprintf(aBuffer, sizeof aBuffer, "20%02u-%02u-%02u %02u:%02u:%02u.%07u",
                  10 + theRandom.below(15), 1 + theRandom.below(12), 1 + theRandom.below(28),
                  theRandom.below(24), theRandom.below(60), theRandom.below(60),
                  theRandom.below(10000000));
    return aBuffer;
}

// A string value with an escape now and then, as real object names and paths have.
std::string nameValue(Random& theRandom, std::size_t theIndex) {
    std::string aName = word(theRandom) + "_" + word(theRandom) + "_" + word(theRandom) + "_" +
                        std::to_string(theIndex);
    switch (theRandom.below(64)) {
    case 0:
        aName += "\\\"quoted\\\"";
        break;
    case 1:
        aName += "_caf\\u00e9";
        break;
    case 2:
        aName += "\\/path\\\\part";
        break;
    default:
        break;
    }
    return aName;
}

void member(std::string& theOut, const char* theKey, const std::string& theValue, bool theFirst) {
    if (!theFirst)
        theOut += ',';
    theOut += '"';
    theOut += theKey;
    theOut += "\":\"";
    theOut += theValue;
    theOut += '"';
}

std::string makeDocument() {
    Random aRandom;
    std::string aText;
    aText.reserve(56u << 20);
    aText += "{\"objects\":[";
    for (std::size_t i = 0; i < kObjectCount; ++i) {
        if (i != 0)
            aText += ",\n";
        aText += '{';
        std::string aPackage = "com.acme." + word(aRandom);
        for (std::uint32_t aDepth = 1 + aRandom.below(4); aDepth > 0; --aDepth)
            aPackage += "." + word(aRandom);
        // Members in the server's order, not in key order, so that the parser sorts.
        member(aText, "package", aPackage, true);
        member(aText, "name", nameValue(aRandom, i), false);
        member(aText, "suffix", kSuffixes[aRandom.below(std::size(kSuffixes))], false);
        member(aText, "version_id", number(aRandom, 100000000), false);
        member(aText, "activated_by", kUsers[aRandom.below(std::size(kUsers))], false);
        member(aText, "activated_at", timestamp(aRandom), false);
        member(aText, "object_status", std::string(aRandom.below(8) == 0 ? "1" : "0"), false);
        member(aText, "change_number",
               number(aRandom, 10000000) + "-" + word(aRandom) + "-" + word(aRandom), false);
        aText += '}';
    }
    aText += "]}";
    return aText;
}

const std::string& document() {
    static const std::string aDocument = makeDocument();
    return aDocument;
}

std::size_t visit(const json::JsonValue& theValue);

std::size_t visit(const json::JsonObject& theObject) {
    std::size_t aTotal = 0;
    for (const json::JsonMember& aMember : theObject)
        aTotal += aMember.key.size() + visit(aMember.value);
    return aTotal;
}

std::size_t visit(const json::JsonValue& theValue) {
    switch (theValue.t) {
    case json::JT_STRING:
        return theValue.u.stringValue->size();
    case json::JT_LIST: {
        std::size_t aTotal = 0;
        for (const json::JsonValue& anElement : *theValue.u.listValue)
            aTotal += visit(anElement);
        return aTotal;
    }
    case json::JT_OBJECT:
        return visit(*theValue.u.objectValue);
    default:
        return 0;
    }
}

void kivoJsonParse(benchmark::State& theState) {
    const std::string& aText = document();
    std::size_t aChars = 0;
    std::size_t aReserved = 0;
    for (auto _ : theState) {
        json::JsonAllocator anAllocator;
        json::JsonObject anObject;
        if (!json::jsonParse(aText.data(), aText.size(), anObject, anAllocator)) {
            theState.SkipWithError("jsonParse failed");
            break;
        }
        aChars = visit(anObject);
        benchmark::DoNotOptimize(aChars);
        aReserved = anAllocator.bytesReserved();
    }
    theState.SetBytesProcessed(static_cast<std::int64_t>(theState.iterations() * aText.size()));
    theState.counters["document_MB"] = static_cast<double>(aText.size()) / 1e6;
    theState.counters["string_bytes"] = static_cast<double>(aChars);
    theState.counters["arena_MB"] = static_cast<double>(aReserved) / 1e6;
}
BENCHMARK(kivoJsonParse)->Unit(benchmark::kMillisecond);

#ifdef KIVO_HAVE_RAPIDJSON
std::size_t visitRapid(const rapidjson::Value& theValue) {
    if (theValue.IsString())
        return theValue.GetStringLength();
    std::size_t aTotal = 0;
    if (theValue.IsArray()) {
        for (const rapidjson::Value& anElement : theValue.GetArray())
            aTotal += visitRapid(anElement);
    } else if (theValue.IsObject()) {
        for (const auto& aMember : theValue.GetObject())
            aTotal += aMember.name.GetStringLength() + visitRapid(aMember.value);
    }
    return aTotal;
}

void rapidJsonDomParse(benchmark::State& theState) {
    const std::string& aText = document();
    std::size_t aChars = 0;
    for (auto _ : theState) {
        rapidjson::Document aDocument;
        aDocument.Parse(aText.data(), aText.size());
        if (aDocument.HasParseError()) {
            theState.SkipWithError("RapidJSON parse failed");
            break;
        }
        aChars = visitRapid(aDocument);
        benchmark::DoNotOptimize(aChars);
    }
    theState.SetBytesProcessed(static_cast<std::int64_t>(theState.iterations() * aText.size()));
    theState.counters["document_MB"] = static_cast<double>(aText.size()) / 1e6;
    theState.counters["string_bytes"] = static_cast<double>(aChars);
}
BENCHMARK(rapidJsonDomParse)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
