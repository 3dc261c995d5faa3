#pragma once
// The text forms around server certificates: a pinned SHA-256 fingerprint as the user types
// it, the fingerprint as we show it, and the certificates in a trust file (PEM or DER).
#include <string>
#include <vector>

// The 64 lower-case hex digits of a fingerprint typed with or without colons or blanks, in
// either case. False when what remains is not exactly 32 bytes of hex.
bool NormaliseFingerprint(const std::string& text, std::string& hex);

// True when the typed fingerprint names this SHA-256 digest (32 raw bytes).
bool FingerprintMatches(const std::string& typed, const std::string& digest);

// A digest as upper-case hex pairs joined by colons, the form users compare by eye.
std::string FingerprintText(const std::string& digest);

// The DER encodings of the certificates in a trust file: every PEM "CERTIFICATE" block, or,
// when the file holds no PEM block at all, the file itself as one DER certificate. A block
// that is not valid base64, or whose bytes are not shaped like a certificate (a DER sequence
// spanning them whole, opening with another sequence), is left out.
std::vector<std::string> CertificatesInFile(const std::string& contents);

// Text from a certificate (a subject, an issuer) made safe to trace or show: a control
// character (C0, DEL, C1) becomes \xNN and a backslash \\, so a name with CR LF in it
// cannot forge a line of the trace.
std::string EscapeControlCharacters(const std::string& text);
