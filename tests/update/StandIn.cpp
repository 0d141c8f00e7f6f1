#include "tests/update/StandIn.h"

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace stand_in {

namespace {

WideString environment(const wchar_t* name) {
    wchar_t value[1024]{};
    DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? WideString(value, static_cast<int>(length)) : WideString();
}

std::string narrow(const WideString& text) {
    std::string ascii;
    for (int i = 0; i < text.length(); ++i) {
        ascii += static_cast<char>(text[i]);
    }
    return ascii;
}

// Where the local machine's root store keeps a certificate: a registry key named after its
// SHA-1 thumbprint. Taken out there, since Wine's store functions leave it in the registry.
WideString rootStoreKey(const std::vector<uint8_t>& der) {
    BYTE thumbprint[20]{};
    DWORD size = sizeof(thumbprint);
    if (der.empty() || !CryptHashCertificate(0, CALG_SHA1, 0, der.data(), static_cast<DWORD>(der.size()), thumbprint, &size)) {
        return WideString();
    }
    WideString key = L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";
    for (BYTE byte : thumbprint) {
        key.appendFormat(L"%02X", byte);
    }
    return key;
}

enum class CertificateAction { add, remove, find };

bool changeRootStore(CertificateAction action) {
    std::vector<uint8_t> der = readFile(environment(L"BC_STAND_IN_CERT"));
    WideString key = rootStoreKey(der);
    if (key.isEmpty()) {
        return false;
    }
    if (action == CertificateAction::find) {
        HKEY opened = nullptr;
        bool found = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS;
        if (found) {
            RegCloseKey(opened);
        }
        return found;
    }
    if (action == CertificateAction::remove) {
        return RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str()) == ERROR_SUCCESS;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
    if (!store) {
        return false;
    }
    bool ok = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                               CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
    CertCloseStore(store, 0);
    return ok;
}

bool addedHere = false;

// The certificate stays in the prefix only while this test program runs.
class TrustedCertificate : public ::testing::Environment {
public:
    void TearDown() override {
        if (addedHere) {
            changeRootStore(CertificateAction::remove);
        }
    }
};

[[maybe_unused]] ::testing::Environment* const trusted = ::testing::AddGlobalTestEnvironment(new TrustedCertificate);

}  // namespace

bool available() { return !environment(L"BC_STAND_IN_HTTPS_PORT").isEmpty(); }

WideString httpsAddress(const wchar_t* path) {
    return L"https://127.0.0.1:" + environment(L"BC_STAND_IN_HTTPS_PORT") + path;
}

WideString httpAddress(const wchar_t* path) { return L"http://127.0.0.1:" + environment(L"BC_STAND_IN_HTTP_PORT") + path; }

WideString closedPortAddress(const wchar_t* path) {
    return L"https://127.0.0.1:" + environment(L"BC_STAND_IN_CLOSED_PORT") + path;
}

bool writeSiteFile(const wchar_t* name, const std::vector<uint8_t>& bytes) {
    return writeFile(environment(L"BC_STAND_IN_SITE") + L"\\" + name, bytes);
}

bool writeSiteFile(const wchar_t* name, const std::string& text) {
    return writeSiteFile(name, std::vector<uint8_t>(text.begin(), text.end()));
}

namespace {

std::vector<std::string> linesOf(const WideString& path) {
    std::vector<uint8_t> log = readFile(path);
    std::vector<std::string> lines;
    std::string line;
    for (uint8_t byte : log) {
        if (byte == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(byte);
        }
    }
    return lines;
}

}  // namespace

std::vector<std::string> requests() { return linesOf(environment(L"BC_STAND_IN_LOG")); }

std::vector<std::string> browserLog() { return linesOf(environment(L"BC_BROWSER_LOG_WINDOWS")); }

bool useBrowserRecorder(bool use) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    LSTATUS status;
    if (use) {
        WideString recorder = environment(L"BC_BROWSER_RECORDER");
        status = RegSetValueExW(key, L"Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(recorder.c_str()),
                                static_cast<DWORD>((recorder.length() + 1) * sizeof(wchar_t)));
    } else {
        status = RegDeleteValueW(key, L"Browsers");
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::string sha256Base64(const std::vector<uint8_t>& bytes) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[32]{};
    DWORD digestSize = sizeof(digest);
    bool ok = CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
              CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash) &&
              CryptHashData(hash, bytes.data(), static_cast<DWORD>(bytes.size()), 0) &&
              CryptGetHashParam(hash, HP_HASHVAL, digest, &digestSize, 0);
    if (hash) {
        CryptDestroyHash(hash);
    }
    if (provider) {
        CryptReleaseContext(provider, 0);
    }
    if (!ok) {
        return std::string();
    }
    char text[64]{};
    DWORD textSize = sizeof(text);
    if (!CryptBinaryToStringA(digest, sizeof(digest), CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, text, &textSize)) {
        return std::string();
    }
    return std::string(text, textSize);
}

std::string descriptor(const char* version, const WideString& exeAddress, size_t size, const std::string& digest) {
    return "[Brindlecrest]\r\nversion=" + std::string(version) + "\r\naddress=" + narrow(exeAddress) +
           "\r\nsize=" + std::to_string(size) + "\r\nsha256=" + digest + "\r\n";
}

bool trustCertificate(bool again) {
    if (!addedHere || again) {
        addedHere = changeRootStore(CertificateAction::add);
    }
    return addedHere;
}

bool distrustCertificate() { return changeRootStore(CertificateAction::remove); }

bool certificateTrusted() { return changeRootStore(CertificateAction::find); }

std::vector<uint8_t> readFile(const WideString& path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() && (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size())) {
        bytes.clear();
    }
    CloseHandle(file);
    return bytes;
}

bool writeFile(const WideString& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                written == bytes.size());
    CloseHandle(file);
    return ok;
}

bool exists(const WideString& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace stand_in
