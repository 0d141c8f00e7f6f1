#pragma once
// The update site's stand-in server, started around the test program by with-stand-in-server.sh:
// its ports, its site folder, its request log, and its certificate in the Wine prefix's root store.

#include <windows.h>

#include "base/WideString.h"

#include <string>
#include <vector>

namespace stand_in {

// False when the test program runs without the server (then the tests that need it are skipped).
bool available();

// "https://127.0.0.1:PORT" + path, "http://127.0.0.1:PORT" + path, and the port nobody listens on.
WideString httpsAddress(const wchar_t* path);
WideString httpAddress(const wchar_t* path);
WideString closedPortAddress(const wchar_t* path);

// Puts a file of that name into the site folder (served as /site/NAME).
bool writeSiteFile(const wchar_t* name, const std::vector<uint8_t>& bytes);
bool writeSiteFile(const wchar_t* name, const std::string& text);

// The paths (with queries) of all requests so far, in order.
std::vector<std::string> requests();

// The standard Base64 of SHA-256 over the bytes, from Windows' own functions (CryptoAPI), as an
// oracle independent of the program's code.
std::string sha256Base64(const std::vector<uint8_t>& bytes);

// A descriptor for the given version, exe address, size and digest.
std::string descriptor(const char* version, const WideString& exeAddress, size_t size, const std::string& digest);

// Adds the server's certificate to the local machine's root store (once; it is taken out again
// when the test program ends). Whether it is in there now.
// `again`: even when this program has added it before.
bool trustCertificate(bool again = false);
bool distrustCertificate();
bool certificateTrusted();

// Registers record-browser.sh as Wine's browser (or takes it out again), and the addresses it
// has been asked to open so far.
bool useBrowserRecorder(bool use);
std::vector<std::string> browserLog();

std::vector<uint8_t> readFile(const WideString& path);
bool writeFile(const WideString& path, const std::vector<uint8_t>& bytes);
bool exists(const WideString& path);

}  // namespace stand_in
