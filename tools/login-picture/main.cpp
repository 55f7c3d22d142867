// Draws the login page's background picture (1280 by 1024, JPEG) with libjpeg:
// a deep blue gradient with soft diagonal bands, so the white login text reads well.
// Usage: login-picture OUT.jpg
#include <cmath>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: login-picture OUT.jpg\n");
        return 2;
    }
    constexpr int width = 1280;
    constexpr int height = 1024;
    std::FILE *out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    std::vector<JSAMPLE> row(width * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            const double t = double(y) / height;
            const double band = 0.5 + 0.5 * std::sin((x + y * 0.6) / 90.0);
            const double glow = std::exp(-std::pow((x - 900.0) / 500.0, 2) -
                                         std::pow((y - 300.0) / 400.0, 2));
            row[x * 3 + 0] = JSAMPLE(10 + 30 * band * (1 - t) + 60 * glow);
            row[x * 3 + 1] = JSAMPLE(30 + 50 * (1 - t) + 20 * band + 80 * glow);
            row[x * 3 + 2] = JSAMPLE(70 + 90 * (1 - t) + 30 * band + 90 * glow);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
    return 0;
}
