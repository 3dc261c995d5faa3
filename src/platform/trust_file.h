#pragma once
// An account's trust file, read for one check: the CA certificates that replace the system's
// roots. The user names the file, so it is read with a bound in bytes and in time, and a
// file that cannot serve is said so before any handshake, in the user's words.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/tls_layer.h"

// Far more than any bundle of CA certificates a user names; the bound of every file the user
// points the program at.
constexpr size_t kMaxTrustFileBytes = size_t(1) << 20;

enum class TrustFileResult { Loaded, NotFound, TooLarge, NotAFile, Unreadable, NoCertificate, Stopped };

// Why the file cannot serve, as "Trust file unusable: " + this says it: "not found",
// "too large", "not a file", "unreadable", "holds no certificate"; empty for Loaded and Stopped.
const char* TrustFileProblem(TrustFileResult result);

// Reads path once within the deadline (steady-clock milliseconds) and the stop flag (may be
// null) and fills certificates with the DER encodings of the certificates it holds. A read
// that runs out of time counts as unreadable.
TrustFileResult LoadTrustFile(const std::string& path, int64_t deadline, const std::atomic<int32_t>* stopFlag,
                              std::vector<std::string>& certificates);

// The handshake's verdict on a trust file that could not be read: Ok for Loaded.
TlsResult TrustFileVerdict(TrustFileResult result);
