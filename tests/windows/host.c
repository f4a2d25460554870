/* SPDX-License-Identifier: MIT */
/* A Windows host as image editors are: it loads Zorvan.dll by name, looks up
 * the three exports, parses formulas, evaluates them against a context of a
 * 3 x 2 BGRA image and releases them. Prints one line per failed check and
 * "N passed, N failed"; exits 1 on any failure. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "api/zorvan.h"

typedef ExprNode* (*ParseFn)(const char*, int32_t*, int32_t);
typedef int32_t (*ExecFn)(const ExprNode*, PixelContext*);
typedef void (*FreeFn)(ExprNode*);

enum { kColumns = 3, kRows = 2, kStride = 4 };

static int passed, failed;

static void Expect(int ok, const char* what, long got, long want) {
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    printf("FAILED: %s: got %ld, want %ld\n", what, got, want);
}

static uint8_t Byte(int col, int row, int k) {
    return (uint8_t)(10 * col + 100 * row + k + 1);
}
static uint8_t Alpha(int col, int row) {
    return (uint8_t)(200 + col + 10 * row);
}

struct Image {
    uint8_t bytes[kRows][kColumns * kStride];
    const uint8_t* rows[kRows];
    uint8_t alpha[kRows * kColumns];
};

/* Blue, green, red, alpha in memory, as Windows bitmaps keep them. */
static const int32_t kOffsets[4] = {2, 1, 0, 3};

static void MakeImage(struct Image* image) {
    for (int row = 0; row < kRows; ++row) {
        for (int col = 0; col < kColumns; ++col) {
            for (int k = 0; k < 4; ++k)
                image->bytes[row][col * kStride + kOffsets[k]] = Byte(col, row, k);
            image->alpha[row * kColumns + col] = Alpha(col, row);
        }
        image->rows[row] = image->bytes[row];
    }
}

/* The context for channel z of pixel (x, y), with or without the alpha plane. */
static void Fill(PixelContext* c, const struct Image* image, int x, int y, int z, int withAlpha) {
    memset(c, 0, sizeof *c);
    c->x = x, c->y = y, c->width = kColumns, c->height = kRows;
    c->centerX = kColumns / 2, c->centerY = kRows / 2, c->channel = z, c->channelCount = 4;
    for (int k = 0; k < 4; ++k) c->channelOffset[k] = kOffsets[k];
    c->red = Byte(x, y, 0), c->green = Byte(x, y, 1), c->blue = Byte(x, y, 2);
    c->current = Byte(x, y, z);
    c->rows = image->rows, c->maxX = kColumns - 1, c->maxY = kRows - 1, c->pixelStride = kStride;
    c->alphaPlane = withAlpha ? image->alpha : NULL;
}

struct Case {
    const char* formula;
    int x, y, z, withAlpha;
    int32_t want;
};

static const struct Case kCases[] = {
    {"x+1", 2, 1, 0, 0, 3},
    {"x<X/2 ? r : 255-r", 0, 0, 0, 0, 1},
    {"x<X/2 ? r : 255-r", 2, 1, 0, 0, 255 - 121},
    {"src(x+1, y, 0)", 0, 1, 0, 0, 111},
    {"src(99, -5, 2)", 0, 0, 0, 0, 23},
    {"src(x, y, 3)", 1, 1, 3, 0, 114},
    {"src(x, y, 3)", 1, 1, 3, 1, 211},
    {"c", 2, 0, 2, 0, 23},
    {"put(r*2, 7), get(7)+1", 1, 0, 0, 0, 23},
};

/* Some editors run filters on threads with small stacks. */
struct OnThread {
    ExecFn exec;
    const ExprNode* root;
    PixelContext context;
    int32_t got;
};

static DWORD WINAPI Evaluate(LPVOID p) {
    struct OnThread* t = (struct OnThread*)p;
    t->got = t->exec(t->root, &t->context);
    return 0;
}

/* text is the given prefix, core and suffix times 4000 nested; evaluated on
 * threads of 64 and 128 KiB, where the value must match the main thread's. */
static void ExpectOnSmallStacks(ParseFn parse, ExecFn exec, FreeFn release,
                                const struct Image* image, const char* open, const char* core,
                                const char* close) {
    enum { kDepth = 4000 };
    static char text[kDepth * 8 + 16];
    text[0] = 0;
    for (int i = 0; i < kDepth; ++i) strcat(text, open);
    strcat(text, core);
    for (int i = 0; i < kDepth; ++i) strcat(text, close);
    int32_t status = -1;
    ExprNode* root = parse(text, &status, 1);
    Expect(status == 0 && root != NULL, open, status, 0);
    struct OnThread t = {exec, root, {0}, 0};
    Fill(&t.context, image, 1, 1, 0, 0);
    PixelContext here = t.context;
    const int32_t want = exec(root, &here);
    for (SIZE_T kib = 64; kib <= 128; kib *= 2) {
        t.got = -1;
        HANDLE thread =
            CreateThread(NULL, kib * 1024, Evaluate, &t, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
        Expect(thread != NULL, "CreateThread", 0, 1);
        if (!thread) continue;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        Expect(t.got == want, open, t.got, want);
    }
    release(root);
}

int main(void) {
    HMODULE dll = LoadLibraryA("Zorvan.dll");
    if (!dll) {
        printf("FAILED: LoadLibrary(\"Zorvan.dll\"): error %lu\n0 passed, 1 failed\n",
               (unsigned long)GetLastError());
        return 1;
    }
    /* FARPROC goes through the generic function type to each signature. */
    ParseFn parse = (ParseFn)(void (*)(void))GetProcAddress(dll, "ZvParse");
    ExecFn exec = (ExecFn)(void (*)(void))GetProcAddress(dll, "ZvExec");
    FreeFn release = (FreeFn)(void (*)(void))GetProcAddress(dll, "ZvFree");
    if (!parse || !exec || !release) {
        printf("FAILED: GetProcAddress of ZvParse, ZvExec or ZvFree\n0 passed, 1 failed\n");
        return 1;
    }

    static struct Image image;
    MakeImage(&image);
    PixelContext context;
    for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
        const struct Case* t = &kCases[i];
        int32_t status = -1;
        ExprNode* root = parse(t->formula, &status, 1);
        Expect(status == 0 && root != NULL, t->formula, status, 0);
        Fill(&context, &image, t->x, t->y, t->z, t->withAlpha);
        int32_t got = exec(root, &context);
        Expect(got == t->want, t->formula, got, t->want);
        release(root);
    }
    /* put() wrote its cell into the host's context. */
    Expect(context.cells[7] == 22, "cell 7 after put", context.cells[7], 22);

    int32_t status = -1;
    Expect(parse("x y", &status, 1) == NULL && status == 1, "x y", status, 1);
    Expect(parse("", &status, 1) == NULL && status == 1, "empty text", status, 1);
    Expect(parse("x+1", &status, 0) == NULL && status == 0, "check only", status, 0);
    Expect(exec(NULL, NULL) == 0, "null root", 0, 0);
    release(NULL);

    ExpectOnSmallStacks(parse, exec, release, &image, "r+", "r", "");
    ExpectOnSmallStacks(parse, exec, release, &image, "abs(", "-r", ")");

    Expect(FreeLibrary(dll) != 0, "FreeLibrary", 0, 1);
    printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
