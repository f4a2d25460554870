%{
// The formula grammar. Actions only build nodes; on any failure bison's
// destructors release what was built, so nothing leaks.
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
%parse-param {zv::ParseState* state}
%lex-param {zv::ParseState* state}

%union {
    ExprNode* node;
    int32_t number;
    int32_t kind;
}

%token SEQ 258
%token ABS 259 ADD 260 CNV 261 CTL 262 DIF 263 GET 264 PUT 265 MIN 266
%token MAX 267 MIX 268 RND 269 SCL 270 SQR 271 SRC 272 SUB 273 VAL 274
%token C2D 275 C2M 276 RAD 277 R2X 278 R2Y 279 SIN 280 COS 281 TAN 282
%token MAP 283 RST 284
%token TOTAL 285
%token BITXOR 286 BITOR 287 BITAND 288 OR 289 AND 290
%token EQ 291 NE 292 LE 293 GE 294 LT 295 GT 296
%token SHL 297 SHR 298 NOT 301 COMPL 302
%token <number> NUMBER 303

%type <node> expr
%type <kind> fn1 fn2 fn3 letter
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
    | TOTAL                     { NODE($$, ZV_TOTAL, 0); }
    | letter                    { NODE($$, $1, 0); }
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
    | fn1 '(' expr ')'          { NODE($$, $1, 0, $3); }
    | fn2 '(' expr ',' expr ')' { NODE($$, $1, 0, $3, $5); }
    | fn3 '(' expr ',' expr ',' expr ')'
                                { NODE($$, $1, 0, $3, $5, $7); }
    | MIX '(' expr ',' expr ',' expr ',' expr ')'
                                { NODE($$, ZV_MIX, 0, $3, $5, $7, $9); }
    | SCL '(' expr ',' expr ',' expr ',' expr ',' expr ')'
                                { NODE($$, ZV_SCL, 0, $3, $5, $7, $9, $11); }
    | CNV '(' expr ',' expr ',' expr ',' expr ',' expr ','
              expr ',' expr ',' expr ',' expr ',' expr ')'
                                { NODE($$, ZV_CNV, 0, $3, $5, $7, $9, $11, $13, $15, $17, $19, $21); }
    ;

fn1 : ABS { $$ = ZV_ABS; } | CTL { $$ = ZV_CTL; } | GET { $$ = ZV_GET; }
    | SQR { $$ = ZV_SQR; } | SIN { $$ = ZV_SIN; } | COS { $$ = ZV_COS; }
    | TAN { $$ = ZV_TAN; } | RST { $$ = ZV_RST; }
    ;

fn2 : DIF { $$ = ZV_DIF; } | PUT { $$ = ZV_PUT; } | MIN { $$ = ZV_MIN; }
    | MAX { $$ = ZV_MAX; } | RND { $$ = ZV_RND; } | C2D { $$ = ZV_C2D; }
    | C2M { $$ = ZV_C2M; } | R2X { $$ = ZV_R2X; } | R2Y { $$ = ZV_R2Y; }
    | MAP { $$ = ZV_MAP; }
    ;

fn3 : ADD { $$ = ZV_ADD; } | SUB { $$ = ZV_SUB; } | VAL { $$ = ZV_VAL; }
    | SRC { $$ = ZV_SRC; } | RAD { $$ = ZV_RAD; }
    ;

letter
    : 'r' { $$ = 'r'; } | 'g' { $$ = 'g'; } | 'b' { $$ = 'b'; } | 'a' { $$ = 'a'; }
    | 'c' { $$ = 'c'; } | 'i' { $$ = 'i'; } | 'u' { $$ = 'u'; } | 'v' { $$ = 'v'; }
    | 'd' { $$ = 'd'; } | 'm' { $$ = 'm'; } | 't' { $$ = 't'; } | 'x' { $$ = 'x'; }
    | 'y' { $$ = 'y'; } | 'z' { $$ = 'z'; } | 'X' { $$ = 'X'; } | 'Y' { $$ = 'Y'; }
    | 'Z' { $$ = 'Z'; } | 'D' { $$ = 'D'; } | 'M' { $$ = 'M'; }
    ;

%%

static int yylex(YYSTYPE* value, zv::ParseState* state) {
    int32_t code = zv::NextToken(state->scanner);
    if (code == TOK_NUMBER) value->number = state->scanner.state.tokenValue;
    return code;
}

// Bison's two messages stand for "parse error" and "parser stack overflow";
// nothing is printed, only where the parse stopped is kept.
static void yyerror(zv::ParseState* state, const char*) {
    state->errorOffset = state->scanner.state.tokenStart;
}

namespace zv {
int32_t ParseFormula(ParseState& state) { return yyparse(&state); }
}
