/* The least a command-line assembler has to do: read the source file whole, and write an image
 * of the given length. The yardstick for brindlewick-asm's run time.
 *
 *   minimal_copy SOURCE IMAGE LENGTH
 */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    return 2;
  }
  FILE* in = fopen(argv[1], "rb");
  if (in == NULL || fseek(in, 0, SEEK_END) != 0) {
    return 2;
  }
  const long size = ftell(in);
  rewind(in);
  char* bytes = malloc((size_t)size + 1);
  if (bytes == NULL || fread(bytes, 1, (size_t)size, in) != (size_t)size) {
    return 2;
  }
  fclose(in);
  const long length = atol(argv[3]);
  FILE* out = fopen(argv[2], "wb");
  if (out == NULL || length > size || fwrite(bytes, 1, (size_t)length, out) != (size_t)length ||
      fclose(out) != 0) {
    return 2;
  }
  free(bytes);
  return 0;
}
