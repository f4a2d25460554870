/* SPDX-License-Identifier: MIT */
/* A C host built against an installed Zorvan, through CMake's package or
 * pkg-config: it compiles a filter, renders a picture and a preview of it,
 * reads a failure's message, and prints "N passed, N failed". */
#include <stdio.h>
#include <string.h>
#include <zorvan/render.h>

enum { kWidth = 64, kHeight = 48 };

static int passed, failed;

static void Expect(int ok, const char* what) {
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    printf("FAILED: %s (%s)\n", what, ZvRenderMessage());
}

static uint8_t source[kHeight][kWidth][3], target[kHeight][kWidth][3], preview[12][16][3];

int main(void) {
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int k = 0; k < 3; ++k) source[y][x][k] = (uint8_t)(x * 4 + y + k * 60);

    static const char filterFile[] =
        "title: Split\nctl0: Level = 200\nrgb: x < X / 2 ? c : ctl(0) - c\n";
    ZvFilter* filter = NULL;
    Expect(ZvFilterFromFile(filterFile, sizeof filterFile - 1, "split.zvf", &filter) == ZV_OK,
           "the filter file compiles");
    Expect(strcmp(ZvFilterControlName(filter, 0), "Level") == 0, "control 0 is named");

    ZvImage in = {&source[0][0][0], kWidth, kHeight, 3, kWidth * 3};
    ZvImage out = {&target[0][0][0], kWidth, kHeight, 3, kWidth * 3};
    ZvRenderOptions options;
    memset(&options, 0, sizeof options);
    options.controls[0] = ZvFilterControl(filter, 0);
    Expect(ZvRender(filter, &in, &out, &options) == ZV_OK, "the render succeeds");
    Expect(target[5][10][1] == source[5][10][1], "the left half is kept");
    Expect(target[5][40][2] == (uint8_t)(200 - source[5][40][2]), "the right half is inverted");

    ZvImage small = {&preview[0][0][0], 16, 12, 3, 16 * 3};
    options.step = 4;
    Expect(ZvRender(filter, &in, &small, &options) == ZV_OK, "the preview succeeds");
    Expect(preview[3][11][0] == target[12][44][0], "the preview samples the full render");
    ZvFilterFree(filter);

    Expect(ZvFilterFromFormula("255 - * c", 15, &filter) == ZV_BAD_FORMULA,
           "a bad formula is refused");
    Expect(strstr(ZvRenderMessage(), "column 5") != NULL, "the message names the column");
    Expect(strcmp(ZvRenderVersion(), ZV_RENDER_VERSION) == 0, "headers and library agree");

    printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
