# /imagegen: the image into a file; a controller is touched only to learn
# the geometry with /srom 0.
. "$(dirname "${BASH_SOURCE[0]}")/rom_common.inc"

setup() {
  machine <<M
speed 0
trace trace.txt
${1:-}
M
  samples
}

test_without_srom_null_geometry_and_32k() {
  setup "controller 04:00.0 revision 4 part MX25L4005A rom rom.bin"
  vxsrom /imagegen out.bin fw4.mem cfg.ini
  expect_status 0
  expect_out <<'O'
Image generate complete
O
  expect_size out.bin 32768
  grep -q '^MakeSromImage("fw4.mem", "cfg.ini", null, null, buffer) = 0' trace.txt || fail "call"
  expect_calls EnumerateDevices 0
  expect_calls OpenDevice 0
}

test_custom_4096_byte_type() {
  setup
  vxsim make-mem small.mem --revision 4 --code-size 1024
  vxsrom /srominfo 0x1000 0x100 0x60E0 /imagegen out.bin small.mem cfg.ini x.eui
  expect_status 0
  expect_size out.bin 4096
  grep -q '^MakeSromImage("small.mem", "cfg.ini", "x.eui", {0x1000, 0x100, 0x60E0}, buffer) = 0' trace.txt ||
    fail "call"
}

test_auto_opens_and_closes_at_once() {
  setup "controller 04:00.0 revision 4 part W25X40BV rom rom.bin"
  vxsrom /srom 0 /imagegen out.bin fw4.mem cfg.ini
  expect_status 0
  expect_outf "${TARGET4}Image generate complete\n"
  expect_calls CloseDevice 1
  expect_trace_order CloseDevice MakeSromImage
  grep -q '^MakeSromImage("fw4.mem", "cfg.ini", null, {0x8000, 0x100, 0xC7E0}, buffer) = 0' trace.txt ||
    fail "call"
  # The image equals what /write would put into that ROM.
  vxsrom /srom 3 /write fw4.mem cfg.ini
  cmp out.bin rom.bin || fail "image differs from the written ROM"
}

test_auto_without_controller() {
  setup
  vxsrom /srom 0 /imagegen out.bin fw4.mem cfg.ini
  expect_status -6
  expect_out <<'O'
Device not found!
O
  expect_no_file out.bin
  expect_calls MakeSromImage 0
}

test_build_failure_creates_or_truncates_nothing() {
  setup
  printf 'junk' > bad.mem
  vxsrom /imagegen out.bin bad.mem cfg.ini
  expect_status -7
  expect_out <<'O'
Make SROM Image error (-41)
O
  expect_no_file out.bin
  printf 'previous' > out.bin
  vxsrom /imagegen out.bin bad.mem cfg.ini
  expect_status -7
  [ "$(cat out.bin)" = previous ] || fail "previous file changed"
  [ "$(ls | grep -c '^out\.bin')" -eq 1 ] || fail "left a temporary file"
}

test_unopenable_output() {
  setup
  vxsrom /imagegen none/out.bin fw4.mem cfg.ini
  expect_status -12
  expect_out <<'O'
Image file open error: none/out.bin(wb) (2)
O
}
