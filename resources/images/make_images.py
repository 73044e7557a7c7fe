#!/usr/bin/env python3
"""Draws the editor's bar images and icons (no outside artwork).

    python3 resources/images/make_images.py

writes toolbar.bmp and toolbox.bmp (strips of 16 x 16 pictures, 24 bits,
magenta = transparent), korrin.ico / diagram.ico (32 x 32 and 16 x 16) and
the insertion cursors *_cur.cur (32 x 32: the pointer with the picture of
what is inserted) next to this script. The pictures are small pixel drawings: document and
disk symbols for the file commands, arrows for the views and the
structure-diagram shapes of the constructs for the toolbox. The order of the
pictures is the image index of app/bar_buttons.def.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Colours (r, g, b).
T = (255, 0, 255)  # transparent
K = (0, 0, 0)
W = (255, 255, 255)
G = (192, 192, 192)
D = (128, 128, 128)
B = (0, 0, 160)
LB = (96, 144, 232)
R = (200, 0, 0)
GR = (0, 140, 0)
Y = (240, 200, 40)
BR = (150, 100, 20)
CY = (0, 150, 170)

# A 3 x 5 pixel font for the few letters the pictures need.
FONT = {
    'A': ["010", "101", "111", "101", "101"],
    'B': ["110", "101", "110", "101", "110"],
    'C': ["011", "100", "100", "100", "011"],
    'D': ["110", "101", "101", "101", "110"],
    'E': ["111", "100", "110", "100", "111"],
    'F': ["111", "100", "110", "100", "100"],
    'N': ["101", "111", "111", "111", "101"],
    'O': ["010", "101", "101", "101", "010"],
    'P': ["110", "101", "110", "100", "100"],
    'R': ["110", "101", "110", "101", "101"],
    'T': ["111", "010", "010", "010", "010"],
    'V': ["101", "101", "101", "101", "010"],
    'a': ["000", "011", "101", "101", "011"],
    'f': ["011", "010", "111", "010", "010"],
    '?': ["111", "001", "010", "000", "010"],
    '#': ["101", "111", "101", "111", "101"],
    '&': ["010", "101", "010", "101", "011"],
    '!': ["010", "010", "010", "000", "010"],
    '1': ["010", "110", "010", "010", "111"],
}


class Pic:
    def __init__(self, w=16, h=16):
        self.w, self.h = w, h
        self.px = [[T] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def rect(self, x0, y0, x1, y1, c, inside=None):
        if inside is not None:
            self.fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, inside)
        self.hline(x0, x1, y0, c)
        self.hline(x0, x1, y1, c)
        self.vline(x0, y0, y1, c)
        self.vline(x1, y0, y1, c)

    def hline(self, x0, x1, y, c):
        for x in range(min(x0, x1), max(x0, x1) + 1):
            self.set(x, y, c)

    def vline(self, x, y0, y1, c):
        for y in range(min(y0, y1), max(y0, y1) + 1):
            self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def text(self, x, y, s, c):
        for ch in s:
            rows = FONT[ch]
            for j, row in enumerate(rows):
                for i, bit in enumerate(row):
                    if bit == '1':
                        self.set(x + i, y + j, c)
            x += 4

    def scaled(self, factor):
        out = Pic(self.w * factor, self.h * factor)
        for y in range(self.h):
            for x in range(self.w):
                out.fill(x * factor, y * factor, x * factor + factor - 1, y * factor + factor - 1, self.px[y][x])
        return out


# --------------------------------------------------------------------------
# Building blocks

def page(p, x0=2, y0=1, x1=12, y1=14, fold=True):
    p.rect(x0, y0, x1, y1, K, W)
    if fold:
        for i in range(4):
            p.hline(x1 - 3 + i, x1, y0 + i, T)
        p.line(x1 - 4, y0, x1, y0 + 4, K)
        p.vline(x1 - 4, y0, y0 + 4, K)
        p.hline(x1 - 4, x1, y0 + 4, K)


def text_lines(p, x0, y0, x1, n, c=D, step=2):
    for i in range(n):
        p.hline(x0, x1 - (i % 2) * 2, y0 + i * step, c)


def disk(p, x0, y0, s=13):
    x1, y1 = x0 + s - 1, y0 + s - 1
    p.rect(x0, y0, x1, y1, K, B)
    p.fill(x0 + 3, y0 + 1, x1 - 3, y0 + 4, W)
    p.fill(x1 - 5, y0 + 2, x1 - 4, y0 + 3, B)
    p.fill(x0 + 2, y1 - 5, x1 - 2, y1 - 1, G)
    p.hline(x0 + 3, x1 - 3, y1 - 3, D)


def arrow_right(p, x0, y, x1, c):
    p.hline(x0, x1, y, c)
    p.hline(x0, x1, y + 1, c)
    for i in range(4):
        p.vline(x1 - 3 + i, y - 3 + i, y + 4 - i, c)


def arrow_down(p, x, y0, y1, c):
    p.vline(x, y0, y1, c)
    p.vline(x + 1, y0, y1, c)
    for i in range(4):
        p.hline(x - 3 + i, x + 4 - i, y1 - 3 + i, c)


def arrow_up(p, x, y0, y1, c):
    p.vline(x, y0, y1, c)
    p.vline(x + 1, y0, y1, c)
    for i in range(4):
        p.hline(x - 3 + i, x + 4 - i, y0 + 3 - i, c)


def magnifier(p, x0, y0):
    p.rect(x0 + 1, y0, x0 + 5, y0 + 4, K, LB)
    p.set(x0 + 1, y0, T)
    p.set(x0 + 5, y0, T)
    p.set(x0 + 1, y0 + 4, T)
    p.set(x0 + 5, y0 + 4, T)
    p.hline(x0 + 2, x0 + 4, y0, K)
    p.hline(x0 + 2, x0 + 4, y0 + 4, K)
    p.vline(x0, y0 + 1, y0 + 3, K)
    p.vline(x0 + 6, y0 + 1, y0 + 3, K)
    p.line(x0 + 5, y0 + 5, x0 + 8, y0 + 8, BR)
    p.line(x0 + 6, y0 + 5, x0 + 9, y0 + 8, BR)


def scissors(p, x0, y0):
    p.line(x0, y0, x0 + 6, y0 + 7, K)
    p.line(x0 + 6, y0, x0, y0 + 7, K)
    p.rect(x0 - 1, y0 + 7, x0 + 2, y0 + 10, R)
    p.rect(x0 + 4, y0 + 7, x0 + 7, y0 + 10, R)


def two_pages(p):
    p.rect(1, 1, 9, 11, K, W)
    text_lines(p, 3, 3, 7, 4)
    p.rect(5, 4, 13, 14, K, W)
    text_lines(p, 7, 6, 11, 4)


def clipboard(p):
    p.rect(2, 2, 12, 14, K, BR)
    p.fill(4, 4, 10, 12, W)
    p.rect(5, 1, 9, 3, K, G)
    text_lines(p, 5, 6, 9, 3)


def help_book(p):
    p.rect(2, 1, 12, 14, K, B)
    p.vline(4, 2, 13, LB)
    p.fill(6, 3, 11, 11, W)
    p.text(7, 5, "?", K)


def question(p, x, y, c=B):
    p.text(x, y, "?", c)
    p.text(x + 1, y, "?", c)


def check(p, c=GR):
    for i, (x, y) in enumerate([(2, 8), (3, 9), (4, 10), (5, 11), (6, 10), (7, 9), (8, 8), (9, 7), (10, 6), (11, 5), (12, 4), (13, 3)]):
        p.set(x, y, c)
        p.set(x, y + 1, c)


def cross(p, c=R, x0=3, y0=3, x1=12, y1=12):
    p.line(x0, y0, x1, y1, c)
    p.line(x0 + 1, y0, x1 + 1, y1, c)
    p.line(x1, y0, x0, y1, c)
    p.line(x1 + 1, y0, x0 + 1, y1, c)


def pencil(p, x0, y0):
    for i in range(7):
        p.set(x0 + i, y0 + 6 - i, Y)
        p.set(x0 + i + 1, y0 + 6 - i, Y)
        p.set(x0 + i + 1, y0 + 7 - i, BR)
    p.set(x0, y0 + 7, K)


def small_box(p, x0, y0, x1, y1, inside=W):
    p.rect(x0, y0, x1, y1, K, inside)


def text_bar(p):
    # A text line with a caret: the mark of the text-input buttons.
    p.hline(1, 14, 14, D)
    p.vline(14, 11, 15, K)


def window(p, x0, y0, x1, y1):
    p.rect(x0, y0, x1, y1, K, W)
    p.fill(x0 + 1, y0 + 1, x1 - 1, y0 + 2, B)


# --------------------------------------------------------------------------
# Tool bar, in the order of its image indexes.

def tb_new(p):
    page(p)


def tb_open(p):
    p.rect(1, 4, 7, 6, K, Y)
    p.rect(1, 6, 13, 13, K, Y)
    p.line(3, 13, 6, 8, K)
    p.hline(6, 15, 8, K)
    p.line(15, 8, 13, 13, K)
    p.fill(7, 9, 13, 12, (250, 230, 120))


def tb_save(p):
    disk(p, 1, 1, 14)


def tb_save_all(p):
    disk(p, 0, 0, 11)
    disk(p, 5, 5, 11)


def tb_print(p):
    p.rect(4, 1, 11, 6, K, W)
    p.rect(1, 6, 14, 11, K, G)
    p.set(12, 8, GR)
    p.rect(3, 10, 12, 14, K, W)
    p.hline(5, 10, 12, D)


def tb_generate(p):
    # A diagram and an arrow into a source text.
    p.rect(0, 2, 6, 13, K, W)
    p.hline(0, 6, 6, K)
    p.line(0, 2, 3, 6, K)
    p.line(6, 2, 3, 6, K)
    arrow_right(p, 5, 7, 10, GR)
    p.rect(10, 2, 15, 13, K, W)
    text_lines(p, 11, 4, 14, 4)


def tb_ok(p):
    check(p)


def tb_cancel(p):
    cross(p)


def tb_edit_text(p):
    small_box(p, 1, 3, 12, 12)
    text_lines(p, 3, 6, 8, 2, K, 3)
    pencil(p, 7, 3)


def tb_edit_window(p):
    window(p, 1, 2, 14, 13)
    text_lines(p, 3, 6, 11, 3, K, 2)


def tb_external(p):
    window(p, 1, 4, 10, 14)
    text_lines(p, 3, 8, 8, 3, K, 2)
    arrow_right(p, 8, 2, 13, R)


def tb_split(p):
    small_box(p, 1, 1, 14, 6)
    small_box(p, 1, 9, 14, 14)
    for x in range(0, 16, 2):
        p.set(x, 7, R)


def tb_search(p):
    page(p, 1, 1, 10, 14, False)
    text_lines(p, 3, 3, 8, 5)
    magnifier(p, 5, 5)


def tb_continue(p):
    magnifier(p, 1, 2)
    arrow_right(p, 9, 3, 14, GR)


def tb_overwrite(p):
    p.text(1, 4, "OV", K)
    p.text(9, 4, "R", K)
    p.fill(1, 11, 14, 13, B)


def tb_capitalize(p):
    p.text(1, 5, "a", D)
    arrow_right(p, 5, 6, 8, GR)
    p.text(11, 5, "A", K)


def tb_delete(p):
    small_box(p, 2, 3, 13, 12)
    cross(p, R, 4, 4, 11, 11)


def tb_cut(p):
    scissors(p, 4, 1)


def tb_copy(p):
    two_pages(p)


def tb_paste(p):
    clipboard(p)


def tb_delete_text(p):
    cross(p, R, 3, 1, 10, 8)
    text_bar(p)


def tb_cut_text(p):
    scissors(p, 4, 0)
    text_bar(p)


def tb_copy_text(p):
    p.rect(1, 0, 7, 8, K, W)
    p.rect(5, 3, 11, 11, K, W)
    text_bar(p)


def tb_paste_text(p):
    p.rect(2, 1, 10, 11, K, BR)
    p.fill(4, 3, 8, 9, W)
    text_bar(p)


def tb_undo(p):
    for (x, y) in [(10, 3), (11, 4), (12, 5), (12, 6), (12, 7), (11, 8), (10, 9), (9, 10), (8, 10), (7, 10)]:
        p.set(x, y, B)
        p.set(x, y + 1, B)
    p.hline(4, 10, 3, B)
    p.hline(4, 10, 4, B)
    for i in range(4):
        p.vline(4 - i, 3 - i, 4 + i, B)


def tb_undo_text(p):
    tb_undo(p)
    text_bar(p)


def tb_refine(p):
    small_box(p, 1, 1, 8, 5)
    small_box(p, 6, 9, 14, 14)
    p.hline(7, 13, 11, D)
    p.line(4, 5, 8, 9, B)
    p.line(5, 5, 9, 9, B)


def tb_push_down(p):
    small_box(p, 1, 10, 14, 14, G)
    arrow_down(p, 7, 1, 9, B)


def tb_pull_up(p):
    small_box(p, 1, 1, 14, 5, G)
    arrow_up(p, 7, 6, 14, B)


def tb_select_all(p):
    for x in range(1, 15, 2):
        p.set(x, 2, K)
        p.set(x, 13, K)
    for y in range(2, 14, 2):
        p.set(1, y, K)
        p.set(14, y, K)
    text_lines(p, 3, 5, 12, 4, B)


def tb_down(p):
    small_box(p, 2, 10, 13, 14)
    arrow_down(p, 7, 1, 9, GR)


def tb_up(p):
    small_box(p, 2, 1, 13, 5)
    arrow_up(p, 7, 6, 14, GR)


def tb_top(p):
    p.fill(1, 1, 14, 2, K)
    arrow_up(p, 7, 3, 14, GR)


def tb_line(p):
    p.text(1, 5, "#", K)
    text_lines(p, 6, 5, 14, 3, B)


def tb_procedure(p):
    small_box(p, 1, 3, 14, 12)
    p.vline(3, 3, 12, K)
    p.vline(12, 3, 12, K)
    p.text(6, 5, "P", B)


def tb_contents(p):
    help_book(p)


def tb_help_editing(p):
    question(p, 2, 2)
    pencil(p, 7, 5)


def tb_help_selection(p):
    question(p, 1, 1)
    arrow_right(p, 6, 9, 14, GR)
    p.hline(1, 5, 13, K)


def tb_help_word(p):
    question(p, 1, 1)
    text_bar(p)


TOOLBAR = [
    tb_new, tb_open, tb_save, tb_save_all, tb_print, tb_generate, tb_ok, tb_cancel,
    tb_edit_text, tb_edit_window, tb_external, tb_split, tb_search, tb_continue, tb_overwrite, tb_capitalize,
    tb_delete, tb_cut, tb_copy, tb_paste, tb_delete_text, tb_cut_text, tb_copy_text, tb_paste_text,
    tb_undo, tb_undo_text,
    tb_refine, tb_push_down, tb_pull_up, tb_select_all,
    tb_down, tb_up, tb_top, tb_line, tb_procedure,
    tb_contents, tb_help_editing, tb_help_selection, tb_help_word,
]

# --------------------------------------------------------------------------
# Toolbox: the structure-diagram shapes of the constructs.

def nx_frame(p):
    p.rect(1, 1, 14, 14, K, W)


def tx_quit(p):
    # The plain mouse pointer: leave insertion mode.
    rows = ["1", "11", "121", "1221", "12221", "122221", "1222221", "12222221",
            "1222211", "12121", "11 121", "1  121", "    121", "    11"]
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch == '1':
                p.set(4 + x, 1 + y, K)
            elif ch == '2':
                p.set(4 + x, 1 + y, W)


def tx_statement(p):
    p.rect(1, 4, 14, 11, K, W)
    p.hline(3, 11, 7, D)
    p.hline(3, 8, 9, D)


def tx_if(p):
    nx_frame(p)
    p.hline(1, 14, 6, K)
    p.line(1, 1, 7, 6, K)
    p.line(14, 1, 8, 6, K)
    p.vline(7, 6, 14, K)
    p.fill(2, 8, 6, 13, (220, 240, 220))
    p.fill(8, 8, 13, 13, (240, 220, 220))


def tx_switch(p):
    nx_frame(p)
    p.hline(1, 14, 5, K)
    p.line(1, 1, 5, 5, K)
    p.vline(5, 5, 14, K)
    p.vline(10, 5, 14, K)
    p.fill(2, 6, 4, 13, LB)


def tx_when(p):
    p.rect(3, 1, 12, 14, K, W)
    p.fill(4, 2, 11, 4, LB)
    p.hline(3, 12, 5, K)


def tx_case(p):
    nx_frame(p)
    p.hline(1, 14, 5, K)
    p.line(1, 1, 7, 5, K)
    p.line(14, 1, 8, 5, K)
    p.vline(5, 5, 14, K)
    p.vline(10, 5, 14, K)


def tx_of(p):
    p.rect(3, 1, 12, 14, K, W)
    p.text(4, 2, "OF", K)
    p.hline(3, 12, 8, K)


def tx_for(p):
    nx_frame(p)
    p.fill(2, 2, 13, 4, Y)
    p.hline(1, 14, 5, K)
    p.vline(4, 5, 14, K)
    p.fill(2, 6, 3, 13, Y)


def tx_while(p):
    nx_frame(p)
    p.hline(4, 14, 5, K)
    p.vline(4, 5, 14, K)
    p.fill(2, 2, 13, 4, LB)
    p.fill(2, 6, 3, 13, LB)


def tx_repeat(p):
    nx_frame(p)
    p.hline(4, 14, 10, K)
    p.vline(4, 1, 10, K)
    p.fill(2, 11, 13, 13, LB)
    p.fill(2, 2, 3, 10, LB)


def tx_loop(p):
    nx_frame(p)
    p.rect(4, 4, 11, 11, K, W)
    p.fill(2, 2, 13, 3, G)
    p.fill(2, 12, 13, 13, G)
    p.fill(2, 4, 3, 11, G)
    p.fill(12, 4, 13, 11, G)


def tx_exit(p):
    p.rect(1, 4, 14, 11, K, W)
    p.line(10, 4, 14, 7, K)
    p.line(10, 11, 14, 8, K)
    p.vline(10, 4, 11, K)
    arrow_right(p, 2, 7, 8, R)


def tx_procedure(p):
    nx_frame(p)
    p.hline(1, 14, 4, K)
    p.hline(1, 14, 5, K)
    p.fill(2, 2, 13, 3, Y)
    p.text(6, 8, "P", B)


def tx_call(p):
    p.rect(1, 4, 14, 11, K, W)
    p.vline(3, 4, 11, K)
    p.vline(12, 4, 11, K)
    p.hline(5, 10, 7, D)
    p.hline(5, 9, 9, D)


def tx_function(p):
    nx_frame(p)
    p.hline(1, 14, 4, K)
    p.hline(1, 14, 5, K)
    p.fill(2, 2, 13, 3, Y)
    p.text(6, 8, "f", B)


def tx_block(p):
    nx_frame(p)
    p.fill(2, 2, 13, 4, G)
    p.hline(1, 14, 5, K)
    p.rect(3, 7, 12, 12, K, W)


def tx_frame(p):
    for x in range(1, 15, 2):
        p.set(x, 1, K)
        p.set(x, 14, K)
    for y in range(1, 15, 2):
        p.set(1, y, K)
        p.set(14, y, K)
    p.rect(4, 4, 11, 11, K, W)


def tx_and(p):
    p.rect(1, 3, 14, 12, K)
    p.text(2, 5, "AN", B)
    p.text(10, 5, "D", B)


def tx_or(p):
    p.rect(1, 3, 14, 12, K)
    p.text(4, 5, "OR", B)


def tx_not(p):
    p.rect(1, 3, 14, 12, K)
    p.hline(3, 12, 6, B)
    p.vline(12, 6, 9, B)
    p.hline(3, 12, 7, B)


def tx_condition(p):
    for i in range(7):
        p.set(7 - i, 1 + i, K)
        p.set(8 + i, 1 + i, K)
        p.set(7 - i, 14 - i, K)
        p.set(8 + i, 14 - i, K)


def tx_file(p):
    page(p, 4, 1, 14, 14)
    text_lines(p, 6, 7, 12, 3)
    arrow_right(p, 0, 9, 5, GR)


TOOLBOX = [
    tx_quit, tx_statement, tx_if, tx_switch, tx_when, tx_case, tx_of, tx_for, tx_while,
    tx_repeat, tx_loop, tx_exit, tx_procedure, tx_call, tx_function, tx_block, tx_frame,
    tx_and, tx_or, tx_not, tx_condition, tx_file,
]

# --------------------------------------------------------------------------
# Icons

def icon_korrin(p):
    # A structure diagram: a header, an IF and a loop.
    p.rect(1, 1, 14, 14, K, W)
    p.fill(2, 2, 13, 3, B)
    p.hline(1, 14, 4, K)
    p.hline(1, 14, 8, K)
    p.line(1, 4, 7, 8, K)
    p.line(14, 4, 8, 8, K)
    p.vline(7, 8, 10, K)
    p.hline(1, 14, 10, K)
    p.vline(4, 10, 14, K)
    p.fill(2, 11, 3, 13, LB)
    p.fill(5, 11, 13, 13, (255, 255, 200))


def icon_diagram(p):
    page(p, 2, 0, 13, 15)
    p.rect(4, 6, 11, 13, K, W)
    p.hline(4, 11, 8, K)
    p.line(4, 6, 7, 8, K)
    p.line(11, 6, 8, 8, K)
    p.vline(7, 8, 13, K)


# --------------------------------------------------------------------------
# Writers

def bmp24(pics, path):
    w = 16 * len(pics)
    h = 16
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for pic in pics:
            for x in range(16):
                r, g, b = pic.px[y][x]
                line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def icon_image(pic):
    w, h = pic.w, pic.h
    xor = bytearray()
    mask = bytearray()
    mrow = ((w + 31) // 32) * 4
    for y in range(h - 1, -1, -1):
        bits = bytearray(mrow)
        for x in range(w):
            r, g, b = pic.px[y][x]
            if (r, g, b) == T:
                xor += bytes((0, 0, 0, 0))
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                xor += bytes((b, g, r, 255))
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def ico(pics, path):
    images = [icon_image(p) for p in pics]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for pic, img in zip(pics, images):
        out += struct.pack("<BBBBHHII", pic.w % 256, pic.h % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    with open(path, "wb") as f:
        f.write(out)


def draw(fn):
    p = Pic()
    fn(p)
    return p


POINTER = ["1", "11", "121", "1221", "12221", "122221", "1222221", "12222221",
           "1222211", "12121", "11 121", "1  121", "    121", "    11"]

# The cursor of insertion mode per command family: the pointer and the
# picture of the construct (or of the clipboard command).
CURSORS = {
    "move": lambda p: tb_cut(p), "copy": lambda p: tb_copy(p), "clip": lambda p: tb_paste(p),
    "rect": lambda p: tx_statement(p), "altif": lambda p: tx_if(p), "while": lambda p: tx_while(p),
    "repeat": lambda p: tx_repeat(p), "cycle": lambda p: tx_loop(p), "cycle_ex": lambda p: tx_exit(p),
    "case": lambda p: tx_case(p), "case_br": lambda p: tx_of(p), "block": lambda p: tx_block(p),
    "call": lambda p: tx_call(p), "leave": lambda p: tx_exit(p), "jmprest": lambda p: tx_exit(p),
    "jproc": lambda p: tx_procedure(p),
}


def cursor(fn, path):
    p = Pic(32, 32)
    for y, row in enumerate(POINTER):
        for x, c in enumerate(row):
            if c != " ":
                p.set(x, y, K if c == "1" else W)
    small = draw(fn)
    for y in range(16):
        for x in range(16):
            if small.px[y][x] != T:
                p.set(12 + x, 14 + y, small.px[y][x])
    img = icon_image(p)
    # A cursor directory: type 2, the hot spot (0, 0) in place of planes and bits.
    out = struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", 32, 32, 0, 0, 0, 0, len(img), 22) + img
    with open(path, "wb") as f:
        f.write(out)


def main():
    bmp24([draw(f) for f in TOOLBAR], os.path.join(HERE, "toolbar.bmp"))
    bmp24([draw(f) for f in TOOLBOX], os.path.join(HERE, "toolbox.bmp"))
    for name, fn in (("korrin.ico", icon_korrin), ("diagram.ico", icon_diagram)):
        small = draw(fn)
        ico([small.scaled(2), small], os.path.join(HERE, name))
    for name, fn in CURSORS.items():
        cursor(fn, os.path.join(HERE, name + "_cur.cur"))


if __name__ == "__main__":
    main()
