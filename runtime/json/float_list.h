// Reading a short list of numbers written on one line ("1 2 3", "(1, 2, 3, 4)",
// "0.5, 0.25, 1", "1,2,3") into floats, independently of the C locale.
#pragma once

// The C library's atof in the C locale whatever the process locale: leading white space,
// then the longest prefix that reads as a number; 0 when there is none.
double atofC(const char* text);

// Reads up to n numbers from text into out[0..]. A token starts at the next ASCII letter,
// digit, '-', or '.' before a digit (every other byte, those from 0x80 up included,
// separates tokens) and runs to the next white space, comma or bracket; it is converted
// with convert and stored as a float. Only entries for tokens read are written; read,
// when given, receives how many. True when exactly n tokens were read and no further
// token follows, so a caller can try n = 3 and then n = 4.
bool parseFloatList(float* out, const char* text, int n, double (*convert)(const char*) = atofC,
                    int* read = nullptr);
