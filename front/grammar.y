%{
// SPDX-License-Identifier: MIT
// The formula grammar. Actions only build nodes; on any failure bison's
// destructors release what was built, so nothing leaks.
#include <algorithm>
#include <array>
#include <iterator>

#include "front/kinds.h"
#include "front/parse_state.h"
%}

%code requires {
#include "api/zorvan.h"
namespace zv { struct ParseState; }
}

%code {
static int yylex(YYSTYPE* value, zv::ParseState* state);
static void yyerror(zv::ParseState* state, const char* message);

// Every action that makes a node goes through here: with building off it
// yields null, and when memory runs out the parse ends with status 2.
#define NODE(out, kind, value, ...)                                          \
    do {                                                                     \
        (out) = zv::MakeNode(state->build, &state->outOfMemory, (kind), (value), {__VA_ARGS__}); \
        if (state->outOfMemory) YYNOMEM;                                     \
    } while (0)
}

%define api.pure full
%define api.token.prefix {TOK_}
%define parse.error simple
%expect 0
%parse-param {zv::ParseState* state}
%lex-param {zv::ParseState* state}

%union {
    ExprNode* node;
    int32_t number;
    int32_t kind;
}

/* The scanner's codes are the kinds of the nodes built (checked below).
   Leaves and calls reach the grammar as LEAF and as the token for their
   number of arguments, with the kind as value (see yylex); those tokens lie
   above every kind, past the codes kept for new built-ins. */
%token SEQ 258
%token BITXOR 286 BITOR 287 BITAND 288 OR 289 AND 290
%token EQ 291 NE 292 LE 293 GE 294 LT 295 GT 296
%token SHL 297 SHR 298 NOT 301 COMPL 302
%token <number> NUMBER 303
%token <kind> LEAF 320 FN1 321 FN2 322 FN3 323 FN4 324 FN5 325 FN10 326

%type <node> expr
%destructor { zv::ReleaseTree($$); } <node>

/* Loosest first. The bit operators sit below the logical ones, && and ||
   share one right-associative level, and shifts bind tighter than '*'. */
%left SEQ
%right '?' ':'
%left BITXOR BITOR BITAND
%right OR AND
%left EQ NE LE GE LT GT
%left '+' '-'
%left '*' '/' '%'
%right SHL SHR
%precedence PREFIX

%%

/* The first rule may reduce before the end of input is seen, so an error
   after a whole formula finds its tree already here. */
formula
    : expr      { state->result = $1; }
    | error     { zv::ReleaseTree(state->result); state->result = nullptr; YYABORT; }
    ;

expr
    : NUMBER                    { NODE($$, ZV_NUMBER, $1); }
    | LEAF                      { NODE($$, $1, 0); }
    | '(' expr ')'              { $$ = $2; }
    | expr SEQ expr             { NODE($$, ZV_SEQ, 0, $1, $3); }
    | expr '?' expr ':' expr    { NODE($$, '?', 0, $1, $3, $5); }
    | expr BITXOR expr          { NODE($$, ZV_BITXOR, 0, $1, $3); }
    | expr BITOR expr           { NODE($$, ZV_BITOR, 0, $1, $3); }
    | expr BITAND expr          { NODE($$, ZV_BITAND, 0, $1, $3); }
    | expr OR expr              { NODE($$, ZV_OR, 0, $1, $3); }
    | expr AND expr             { NODE($$, ZV_AND, 0, $1, $3); }
    | expr EQ expr              { NODE($$, ZV_EQ, 0, $1, $3); }
    | expr NE expr              { NODE($$, ZV_NE, 0, $1, $3); }
    | expr LE expr              { NODE($$, ZV_LE, 0, $1, $3); }
    | expr GE expr              { NODE($$, ZV_GE, 0, $1, $3); }
    | expr LT expr              { NODE($$, ZV_LT, 0, $1, $3); }
    | expr GT expr              { NODE($$, ZV_GT, 0, $1, $3); }
    | expr '+' expr             { NODE($$, '+', 0, $1, $3); }
    | expr '-' expr             { NODE($$, '-', 0, $1, $3); }
    | expr '*' expr             { NODE($$, '*', 0, $1, $3); }
    | expr '/' expr             { NODE($$, '/', 0, $1, $3); }
    | expr '%' expr             { NODE($$, '%', 0, $1, $3); }
    | expr SHL expr             { NODE($$, ZV_SHL, 0, $1, $3); }
    | expr SHR expr             { NODE($$, ZV_SHR, 0, $1, $3); }
    | '-' expr %prec PREFIX     { NODE($$, ZV_UMINUS, 0, $2); }
    | '+' expr %prec PREFIX     { NODE($$, ZV_UPLUS, 0, $2); }
    | NOT expr %prec PREFIX     { NODE($$, ZV_NOT, 0, $2); }
    | COMPL expr %prec PREFIX   { NODE($$, ZV_COMPL, 0, $2); }
    | FN1 '(' expr ')'          { NODE($$, $1, 0, $3); }
    | FN2 '(' expr ',' expr ')' { NODE($$, $1, 0, $3, $5); }
    | FN3 '(' expr ',' expr ',' expr ')'
                                { NODE($$, $1, 0, $3, $5, $7); }
    | FN4 '(' expr ',' expr ',' expr ',' expr ')'
                                { NODE($$, $1, 0, $3, $5, $7, $9); }
    | FN5 '(' expr ',' expr ',' expr ',' expr ',' expr ')'
                                { NODE($$, $1, 0, $3, $5, $7, $9, $11); }
    | FN10 '(' expr ',' expr ',' expr ',' expr ',' expr ','
               expr ',' expr ',' expr ',' expr ',' expr ')'
                                { NODE($$, $1, 0, $3, $5, $7, $9, $11, $13, $15, $17, $19, $21); }
    ;

%%

// A call's token by its number of arguments.
static constexpr std::array<int, 11> kCallTokens = {0, TOK_FN1, TOK_FN2, TOK_FN3, TOK_FN4,
                                                    TOK_FN5, 0, 0, 0, 0, TOK_FN10};
#define SAME_CODE(name) int{TOK_##name} == int{ZV_##name} &&
static_assert(SAME_CODE(SEQ) SAME_CODE(BITXOR) SAME_CODE(BITOR) SAME_CODE(BITAND) SAME_CODE(OR)
              SAME_CODE(AND) SAME_CODE(EQ) SAME_CODE(NE) SAME_CODE(LE) SAME_CODE(GE)
              SAME_CODE(LT) SAME_CODE(GT) SAME_CODE(SHL) SAME_CODE(SHR) SAME_CODE(NOT)
              SAME_CODE(COMPL) SAME_CODE(NUMBER) true,
              "a token's number differs from the code of the kind it stands for");
#undef SAME_CODE
static_assert(TOK_LEAF > zv::kLastKind, "the grammar's own tokens overlap the kinds");
static_assert(std::all_of(std::begin(zv::kKinds), std::end(zv::kKinds), [](const zv::KindInfo& k) {
    return k.form != zv::Form::kCall || (zv::ArityOf(k) < 11 && kCallTokens[zv::ArityOf(k)] != 0);
}), "a built-in takes a number of arguments that the grammar has no rule for");

static int yylex(YYSTYPE* value, zv::ParseState* state) {
    const int32_t code = zv::NextToken(state->scanner);
    if (code == TOK_NUMBER) {
        value->number = state->scanner.state.tokenValue;
        return code;
    }
    const zv::KindInfo* kind = zv::FindKind(code);
    if (!kind || (kind->form != zv::Form::kLeaf && kind->form != zv::Form::kCall)) return code;
    value->kind = code;
    return kind->form == zv::Form::kLeaf ? TOK_LEAF : kCallTokens[zv::ArityOf(*kind)];
}

// Bison's two messages stand for "parse error" and "parser stack overflow";
// nothing is printed, only where the parse stopped is kept.
static void yyerror(zv::ParseState* state, const char*) {
    state->errorOffset = state->scanner.state.tokenStart;
}

namespace zv {
int32_t ParseFormula(ParseState& state) { return yyparse(&state); }
}
