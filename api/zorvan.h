/* SPDX-License-Identifier: MIT */
/* Zorvan: per-pixel image-filter formulas.
 *
 * The library's whole interface: compile a formula with ZvParse, evaluate it
 * once per pixel and channel with ZvExec, release it with ZvFree. Usable from
 * C and C++; every layout below is part of the binary interface that hosts
 * compile against.
 *
 * Threads: parse state lives in each ZvParse call and the evaluator reaches
 * the context only through its argument, so ZvParse calls on different threads
 * may run at the same time, and so may ZvExec calls with different contexts.
 * Callers that serialise their calls see no difference. A tree is never
 * changed after the parse and may be evaluated from several threads at once;
 * ZvFree must not run while the tree is evaluated. The random source of rnd()
 * keeps one state per thread.
 *
 * Speed: ZvParse also compiles the tree into a form that ZvExec runs, found
 * by the root's address alone; so a tree from ZvParse must not be changed
 * by the host either (ZvExec would not see the change). Trees the host
 * builds itself are evaluated node by node and may be changed between calls.
 */
#ifndef ZORVAN_H
#define ZORVAN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define ZV_API
#elif defined(ZORVAN_BUILDING)
#define ZV_API __attribute__((visibility("default")))
#else
#define ZV_API
#endif

/* One node of an expression tree. Every node and every child array is a
 * separate heap block owned by the tree's root. */
typedef struct ExprNode {
    int32_t kind;               /* a NodeKind: a character code or one of the codes below */
    int32_t value;              /* the literal of a ZV_NUMBER node, 0 elsewhere */
    int32_t childCount;         /* 0, 1, 2, 3, 4, 5 or 10, fixed by the kind */
    struct ExprNode** children; /* childCount children in operand order, or null */
} ExprNode;

/* Kinds of nodes. Operators and variables of one character use that
 * character's code ('+', '?', 'r', 'X', ...); the rest use these codes, which
 * are also the scanner's token codes. The ZV_ prefix keeps names such as MIN
 * and MAX clear of the host's own macros. */
typedef enum NodeKind {
    ZV_SEQ = 258,
    ZV_ABS = 259,
    ZV_ADD,
    ZV_CNV,
    ZV_CTL,
    ZV_DIF,
    ZV_GET,
    ZV_PUT,
    ZV_MIN,
    ZV_MAX,
    ZV_MIX,
    ZV_RND,
    ZV_SCL,
    ZV_SQR,
    ZV_SRC,
    ZV_SUB,
    ZV_VAL,
    ZV_C2D,
    ZV_C2M,
    ZV_RAD,
    ZV_R2X,
    ZV_R2Y,
    ZV_SIN,
    ZV_COS,
    ZV_TAN,
    ZV_MAP,
    ZV_RST,
    ZV_TOTAL = 285,
    ZV_BITXOR = 286,
    ZV_BITOR,
    ZV_BITAND,
    ZV_OR,
    ZV_AND,
    ZV_EQ = 291,
    ZV_NE,
    ZV_LE,
    ZV_GE,
    ZV_LT,
    ZV_GT,
    ZV_SHL = 297,
    ZV_SHR,
    ZV_UMINUS = 299,
    ZV_UPLUS,
    ZV_NOT,
    ZV_COMPL,
    ZV_NUMBER = 303
} NodeKind;

/* What ZvParse writes through its status argument. */
typedef enum ParseStatus {
    ZV_PARSE_OK = 0,            /* the whole text is one formula */
    ZV_PARSE_SYNTAX_ERROR = 1,  /* not a formula, including an empty text */
    ZV_PARSE_STACK_OVERFLOW = 2 /* nested too deeply, or out of memory */
} ParseStatus;

/* The context a host fills for every ZvExec call. Fields are in memory order;
 * the reserved stretches are never read or written by the library.
 *
 * Offsets, 32-bit targets: cells 48, controls 1072, channelOffset 1104,
 * red 1120, current 1124, pixelBase 1128, rows 1132, maxX 1144, maxY 1148,
 * pixelStride 1156, alphaPlane 1180, unhandledKind 1184, size 1188.
 * 64-bit targets, the same declaration under natural alignment: rows 1136,
 * maxX 1152, maxY 1156, pixelStride 1164, alphaPlane 1192,
 * unhandledKind 1200, size 1208.
 *
 * Channel k of the pixel (col, row), col and row clamped to 0..maxX and
 * 0..maxY: when k is 3 and alphaPlane is set, alphaPlane[row * width + col];
 * otherwise the byte at rows[row] + col * pixelStride + channelOffset[k] +
 * pixelBase. Channels above 3 (and below 0) read as 255 and touch nothing. */
typedef struct PixelContext {
    int32_t dMax;    /* D */
    int32_t mMax;    /* M */
    int32_t x;       /* column being computed */
    int32_t y;       /* row being computed */
    int32_t width;   /* X; also the row length of alphaPlane */
    int32_t height;  /* Y */
    int32_t centerX; /* centre of d, m and rad() */
    int32_t centerY;
    int32_t channel;      /* z, 0..3 */
    int32_t channelCount; /* Z */
    int32_t t;            /* t */
    int32_t total;        /* tmax, total */
    int32_t cells[256];   /* get() and put() */
    int32_t controls[8];  /* ctl(), val(), map() */
    int32_t channelOffset[4];
    uint8_t red;   /* r: channel 0 of the current pixel */
    uint8_t green; /* g */
    uint8_t blue;  /* b */
    uint8_t reserved0;
    uint8_t current; /* c: the current channel of the current pixel */
    uint8_t reserved1[3];
    int32_t pixelBase;          /* added to every address computed in a row */
    const uint8_t* const* rows; /* rows[r]: first byte of row r, 0..maxY */
    int32_t reserved2[2];
    int32_t maxX; /* reads clamp columns to 0..maxX */
    int32_t maxY; /* and rows to 0..maxY */
    int32_t reserved3;
    int32_t pixelStride; /* bytes from one pixel to the next in a row */
    int32_t reserved4[5];
    const uint8_t* alphaPlane; /* channel 3, width bytes a row; may be null */
    int32_t unhandledKind;     /* set by the library to a kind it has no rule for */
} PixelContext;

/* Compiles text (zero-terminated; null reads as empty). Writes a ParseStatus
 * through status unless it is null. With buildTree non-zero and status 0,
 * returns a new tree that the caller releases with ZvFree; otherwise null. */
ZV_API ExprNode* ZvParse(const char* text, int32_t* status, int32_t buildTree);

/* The value of the tree for the pixel and channel that context describes.
 * Writes only context->cells (through put) and context->unhandledKind.
 * A null root yields 0 and reads nothing. Trees of any depth run on threads
 * with stacks down to 32 KiB (64 KiB on Windows): the native recursion uses
 * at most 64 KiB and stops 16 KiB short of the end of the thread's stack
 * (32 KiB on Windows), as Linux and Windows report it, and the rest of the
 * tree runs on a heap stack. */
ZV_API int32_t ZvExec(const ExprNode* root, PixelContext* context);

/* Releases a tree of any depth; null does nothing. */
ZV_API void ZvFree(ExprNode* root);

#ifdef __cplusplus
}
#endif

#if defined(__cplusplus)
#define ZV_STATIC_ASSERT static_assert
#else
#define ZV_STATIC_ASSERT _Static_assert
#endif
#define ZV_OFFSET(field, at) \
    ZV_STATIC_ASSERT(offsetof(PixelContext, field) == (at), "PixelContext." #field)
ZV_OFFSET(cells, 48);
ZV_OFFSET(controls, 1072);
ZV_OFFSET(channelOffset, 1104);
ZV_OFFSET(red, 1120);
ZV_OFFSET(current, 1124);
ZV_OFFSET(pixelBase, 1128);
#if UINTPTR_MAX == 0xFFFFFFFFu
ZV_OFFSET(rows, 1132);
ZV_OFFSET(maxX, 1144);
ZV_OFFSET(maxY, 1148);
ZV_OFFSET(pixelStride, 1156);
ZV_OFFSET(alphaPlane, 1180);
ZV_OFFSET(unhandledKind, 1184);
ZV_STATIC_ASSERT(sizeof(PixelContext) == 1188, "PixelContext size");
#else
ZV_OFFSET(rows, 1136);
ZV_OFFSET(maxX, 1152);
ZV_OFFSET(maxY, 1156);
ZV_OFFSET(pixelStride, 1164);
ZV_OFFSET(alphaPlane, 1192);
ZV_OFFSET(unhandledKind, 1200);
ZV_STATIC_ASSERT(sizeof(PixelContext) == 1208, "PixelContext size");
ZV_STATIC_ASSERT(offsetof(ExprNode, children) == 16 && sizeof(ExprNode) == 24, "ExprNode");
#endif
#undef ZV_OFFSET

#endif
