#include "setting/account_form.h"

#include <vector>

#include "platform/certificate_text.h"
#include "platform/tick_count.h"
#include "platform/trust_file.h"

namespace {

// A trust file on a slow share must not hold the dialog for longer than this.
constexpr int64_t kTrustFileReadMs = 3000;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// Control characters would end or split a POP3 command line.
bool HasControlCharacter(const std::string& text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return true;
    }
    return false;
}

// Decimal digits only, surrounding blanks allowed, within [low, high].
bool ParseNumber(const std::string& text, int32_t low, int32_t high, int32_t& value)
{
    const std::string digits = Trimmed(text);
    if (digits.empty() || digits.size() > 9)
        return false;
    int32_t result = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    if (result < low || result > high)
        return false;
    value = result;
    return true;
}

FormProblem Problem(FormField field, const char* message)
{
    return FormProblem{field, message};
}

}  // namespace

std::string PortForChoice(const std::string& port, int32_t from, int32_t to)
{
    const std::string typed = Trimmed(port);
    if (!typed.empty() && typed != std::to_string(from))
        return port;
    return std::to_string(to);
}

AccountForm FormFromSettings(const AccountSettings& settings)
{
    AccountForm form;
    form.login = settings.Account;
    form.server = settings.Address;
    form.port = std::to_string(settings.Port);
    form.interval = std::to_string(settings.Duration);
    form.color = settings.Color;
    form.security = settings.Security;
    form.trustFile = settings.TrustFile;
    form.fingerprint = settings.Fingerprint;
    form.protocol = settings.Protocol;
    form.folder = settings.Folder;
    return form;
}

FormProblem CheckForm(const AccountForm& form)
{
    int32_t number = 0;
    const std::string login = Trimmed(form.login);
    if (login.empty())
        return Problem(FormField::Login, "Enter the login name.");
    if (HasControlCharacter(login))
        return Problem(FormField::Login, "The login name cannot contain control characters.");
    if (login.size() > kMaxCredentialBytes)
        return Problem(FormField::Login, "The login name is too long: at most 504 bytes (fewer for accented letters).");
    const std::string server = Trimmed(form.server);
    if (server.empty())
        return Problem(FormField::Server, "Enter the name or address of the mail server.");
    if (server.find_first_of(" \t") != std::string::npos || HasControlCharacter(server))
        return Problem(FormField::Server, "The server name cannot contain spaces or control characters.");
    if (!ParseNumber(form.port, 1, 65535, number))
        return Problem(FormField::Port, "The port must be a number from 1 to 65535.");
    if (!ParseNumber(form.interval, 0, kMaxIntervalMinutes, number))
        return Problem(FormField::Interval,
                       "Check every: enter a whole number of minutes from 0 (about every second) to 10080.");
    if (HasControlCharacter(form.password))
        return Problem(FormField::Password, "The password cannot contain control characters.");
    if (form.password.size() > kMaxCredentialBytes)
        return Problem(FormField::Password,
                       "The password is too long: at most 504 bytes (fewer for accented letters).");
    if (form.security < kSecurityNone || form.security > kSecurityTls)
        return Problem(FormField::Security, "Choose the security: None, STLS or TLS.");
    const std::string trustFile = Trimmed(form.trustFile);
    const std::string fingerprint = Trimmed(form.fingerprint);
    if (form.security == kSecurityNone && !trustFile.empty())
        return Problem(FormField::TrustFile, "A trust file needs STLS or TLS: choose one, or clear the trust file.");
    if (form.security == kSecurityNone && !fingerprint.empty())
        return Problem(FormField::Fingerprint, "A fingerprint needs STLS or TLS: choose one, or clear the fingerprint.");
    if (HasControlCharacter(form.trustFile))
        return Problem(FormField::TrustFile, "The trust file's path cannot contain control characters.");
    std::string hex;
    if (!fingerprint.empty() && !NormaliseFingerprint(form.fingerprint, hex))
        return Problem(FormField::Fingerprint,
                       "The fingerprint must be the certificate's SHA-256: 64 hex digits, colons allowed.");
    if (form.protocol == kProtocolImap && HasControlCharacter(form.folder))
        return Problem(FormField::Folder, "The folder's name cannot contain control characters.");
    if (!trustFile.empty()) {
        std::vector<std::string> certificates;
        const TrustFileResult read =
            LoadTrustFile(trustFile, SteadyNowMs() + kTrustFileReadMs, nullptr, certificates);
        if (read != TrustFileResult::Loaded)
            return FormProblem{FormField::TrustFile,
                               std::string("Trust file unusable: ") + TrustFileProblem(read) + "."};
    }
    return FormProblem{};
}

AccountSettings SettingsFromForm(const AccountForm& form, const AccountSettings& edited)
{
    AccountSettings settings = edited;
    settings.Account = Trimmed(form.login);
    settings.Address = Trimmed(form.server);
    ParseNumber(form.port, 1, 65535, settings.Port);
    ParseNumber(form.interval, 0, kMaxIntervalMinutes, settings.Duration);
    if (!form.password.empty()) {
        settings.Password = form.password;
        settings.UnreadableSecrets &= ~kSecretPassword;
    }
    settings.Color = form.color;
    settings.Security = form.security;
    settings.TrustFile = Trimmed(form.trustFile);
    settings.Fingerprint = Trimmed(form.fingerprint);
    settings.Protocol = form.protocol;
    // A POP3 mailbox has no folders: a name left in the disabled field is not kept.
    settings.Folder = form.protocol == kProtocolImap ? Trimmed(form.folder) : std::string();
    if (settings.Folder.empty())
        settings.Folder = kDefaultFolder;
    return settings;
}
