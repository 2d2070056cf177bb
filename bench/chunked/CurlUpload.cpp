// The same chunked upload as the control sends, block by block with the same multipart
// bodies and addresses, from libcurl over one kept-alive connection: the yardstick.
//   bench_chunked_curl FILE URL BLOCK_KB
#include <chrono>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

size_t Collect(char* data, size_t size, size_t count, void* into) {
    static_cast<std::string*>(into)->append(data, size * count);
    return size * count;
}

std::string Encode(const std::string& text) {
    std::string out;
    for (const unsigned char c : text) {
        char piece[4];
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            out += char(c);
        else if (c == ' ')
            out += '+';
        else {
            std::snprintf(piece, sizeof piece, "%%%02X", c);
            out += piece;
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: bench_chunked_curl FILE URL BLOCK_KB\n", stderr);
        return 2;
    }
    const std::string path = argv[1];
    const std::string base = std::string(argv[2]) + "&action=mfu&type=image";
    const long long blockBytes = std::atoll(argv[3]) * 1024;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return 1;
    std::fseek(file, 0, SEEK_END);
    const long long size = std::ftell(file);
    const long long blocks = (size + blockBytes - 1) / blockBytes;
    const std::string boundary = "---------------------------7d511234567890";
    const std::string head = "--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"originalfile\"\r\n\r\n" +
                             path + "\r\n--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"uploadfile\"; "
                             "filename=\"" +
                             path + "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    const std::string tail = "\r\n--" + boundary + "--\r\n";

    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* curl = curl_easy_init();
    curl_slist* headers = curl_slist_append(
        nullptr, ("Content-Type: multipart/form-data; boundary=" + boundary).c_str());
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    std::vector<char> body;
    std::string reply;
    const auto start = std::chrono::steady_clock::now();
    for (long long block = 1; block <= blocks; ++block) {
        std::string address = base + "&rnd=001";
        if (block > 1)
            address += "&blockfile=" + Encode(reply);
        if (block == blocks)
            address += "&blockflag=end";
        const long long offset = (block - 1) * blockBytes;
        const long long count = std::min(blockBytes, size - offset);
        body.resize(head.size() + count + tail.size());
        std::memcpy(body.data(), head.data(), head.size());
        std::fseek(file, offset, SEEK_SET);
        if (std::fread(body.data() + head.size(), 1, count, file) != size_t(count))
            return 1;
        std::memcpy(body.data() + head.size() + count, tail.data(), tail.size());
        reply.clear();
        curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
        long status = 0;
        if (curl_easy_perform(curl) != CURLE_OK ||
            (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status), status != 200))
            return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("curl endall %.2f s, %lld requests, peak %ld MiB\n", seconds, blocks,
                usage.ru_maxrss / 1024);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    curl_global_cleanup();
    std::fclose(file);
    return 0;
}
