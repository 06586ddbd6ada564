// Throughput of the content hash, portable and with the SHA instructions, on 1 KiB and 1 MiB
// inputs, beside the SHA-1 of the crypto library that the program links for its engine anyway;
// and of hashing a file through calcFile. Compare with `sha1sum` on the same machine.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include <openssl/evp.h>
#include <unistd.h>

#include "workspace/hash.hpp"

namespace hash = RepositoryAccess::hash;

namespace {

std::string randomBytes(std::size_t theSize) {
    std::mt19937_64 aRandom(7);
    std::string aBytes(theSize, '\0');
    for (char& aChar : aBytes)
        aChar = static_cast<char>(aRandom());
    return aBytes;
}

void hashBytes(benchmark::State& theState, bool theAccelerated) {
    if (theAccelerated && !hash::accelerationAvailable()) {
        theState.SkipWithError("no SHA instructions");
        return;
    }
    hash::useAcceleration(theAccelerated);
    std::string aBytes = randomBytes(static_cast<std::size_t>(theState.range(0)));
    for (auto _ : theState)
        benchmark::DoNotOptimize(hash::calc(aBytes));
    theState.SetBytesProcessed(static_cast<std::int64_t>(theState.iterations()) *
                               static_cast<std::int64_t>(aBytes.size()));
    hash::useAcceleration(true);
}

void BM_HashPortable(benchmark::State& theState) {
    hashBytes(theState, false);
}
void BM_HashAccelerated(benchmark::State& theState) {
    hashBytes(theState, true);
}

// The crypto library's SHA-1 through its digest interface, including the text form the program
// keeps, so that the three rows compare like with like.
void BM_HashLibrary(benchmark::State& theState) {
    std::string aBytes = randomBytes(static_cast<std::size_t>(theState.range(0)));
    unsigned char aDigest[EVP_MAX_MD_SIZE];
    unsigned int aSize = 0;
    for (auto _ : theState) {
        EVP_Digest(aBytes.data(), aBytes.size(), aDigest, &aSize, EVP_sha1(), nullptr);
        hash::Digest aWords{};
        for (std::size_t i = 0; i < aWords.size(); ++i)
            aWords[i] = static_cast<std::uint32_t>(aDigest[4 * i]) << 24 |
                        static_cast<std::uint32_t>(aDigest[4 * i + 1]) << 16 |
                        static_cast<std::uint32_t>(aDigest[4 * i + 2]) << 8 | aDigest[4 * i + 3];
        benchmark::DoNotOptimize(hash::toText(aWords));
    }
    theState.SetBytesProcessed(static_cast<std::int64_t>(theState.iterations()) *
                               static_cast<std::int64_t>(aBytes.size()));
}

// A 64 MiB file hashed from the page cache.
void BM_HashFile(benchmark::State& theState) {
    std::string aPath = "/tmp/kivo_hash_bench_" + std::to_string(::getpid());
    std::string aBytes = randomBytes(64u << 20);
    std::ofstream(aPath, std::ios::binary) << aBytes;
    for (auto _ : theState)
        benchmark::DoNotOptimize(hash::calcFile(aPath));
    theState.SetBytesProcessed(static_cast<std::int64_t>(theState.iterations()) *
                               static_cast<std::int64_t>(aBytes.size()));
    std::remove(aPath.c_str());
}

} // namespace

BENCHMARK(BM_HashPortable)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_HashAccelerated)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_HashLibrary)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_HashFile);

BENCHMARK_MAIN();
