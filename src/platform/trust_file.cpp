#include "platform/trust_file.h"

#include "platform/certificate_text.h"
#include "platform/state_file.h"

const char* TrustFileProblem(TrustFileResult result)
{
    switch (result) {
    case TrustFileResult::NotFound: return "not found";
    case TrustFileResult::TooLarge: return "too large";
    case TrustFileResult::NotAFile: return "not a file";
    case TrustFileResult::Unreadable: return "unreadable";
    case TrustFileResult::NoCertificate: return "holds no certificate";
    case TrustFileResult::Loaded:
    case TrustFileResult::Stopped: break;
    }
    return "";
}

TlsResult TrustFileVerdict(TrustFileResult result)
{
    switch (result) {
    case TrustFileResult::Loaded: return TlsResult::Ok;
    case TrustFileResult::Stopped: return TlsResult::Stopped;
    case TrustFileResult::NotFound: return TlsResult::TrustFileNotFound;
    case TrustFileResult::TooLarge: return TlsResult::TrustFileTooLarge;
    case TrustFileResult::NotAFile: return TlsResult::TrustFileNotAFile;
    case TrustFileResult::NoCertificate: return TlsResult::TrustFileNoCertificate;
    case TrustFileResult::Unreadable: break;
    }
    return TlsResult::TrustFileUnreadable;
}

TrustFileResult LoadTrustFile(const std::string& path, int64_t deadline, const std::atomic<int32_t>* stopFlag,
                              std::vector<std::string>& certificates)
{
    certificates.clear();
    std::string contents;
    switch (ReadLocalFile(path, kMaxTrustFileBytes, deadline, stopFlag, contents)) {
    case LocalFileRead::Loaded: break;
    case LocalFileRead::Missing: return TrustFileResult::NotFound;
    case LocalFileRead::NotAFile: return TrustFileResult::NotAFile;
    case LocalFileRead::TooLarge: return TrustFileResult::TooLarge;
    case LocalFileRead::Stopped: return TrustFileResult::Stopped;
    case LocalFileRead::Unreadable:
    case LocalFileRead::TimedOut: return TrustFileResult::Unreadable;
    }
    certificates = CertificatesInFile(contents);
    return certificates.empty() ? TrustFileResult::NoCertificate : TrustFileResult::Loaded;
}
