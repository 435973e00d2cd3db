/* The yardstick for the splitter under Wine: what the file system alone costs for a burst.
   For each size listed in SIZES (one a line) it creates a file under a temporary name, writes
   that many bytes with one WriteFile, closes it and renames it into place without replacing,
   as the splitter does with its pages. Nothing else: no PDF work at all.
     bare_burst.exe SIZES OUTDIR */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv) {
  FILE* list;
  size_t *sizes = NULL, count = 0, cap = 0, largest = 0, i;
  unsigned long long size;
  char* data;
  if (argc != 3) {
    fwprintf(stderr, L"usage: bare_burst SIZES OUTDIR\n");
    return 1;
  }
  list = _wfopen(argv[1], L"r");
  if (!list) return 2;
  while (fscanf(list, "%llu", &size) == 1) {
    if (count == cap) sizes = realloc(sizes, (cap = cap ? 2 * cap : 1024) * sizeof *sizes);
    sizes[count++] = (size_t)size;
    if (size > largest) largest = (size_t)size;
  }
  fclose(list);
  data = malloc(largest ? largest : 1);
  for (i = 0; i < largest; ++i) data[i] = (char)(i * 131 + (i >> 9));
  for (i = 0; i < count; ++i) {
    wchar_t temp[MAX_PATH], final[MAX_PATH];
    HANDLE h;
    DWORD written = 0;
    swprintf(temp, MAX_PATH, L"%ls\\~bare-%zu.tmp", argv[2], i + 1);
    swprintf(final, MAX_PATH, L"%ls\\bare_pg_%04zu.pdf", argv[2], i + 1);
    h = CreateFileW(temp, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                    NULL);
    if (h == INVALID_HANDLE_VALUE) return 3;
    if (!WriteFile(h, data, (DWORD)sizes[i], &written, NULL) || written != sizes[i]) return 4;
    CloseHandle(h);
    if (!MoveFileExW(temp, final, 0)) return 5;
  }
  return 0;
}
