# Runs `tessarin codeplug` commands on the layout images and checks their exit status and
# output. Called with -DTESSARIN=<tessarin> -DLAYOUTS=<kits/layouts> -DWORK=<scratch folder>.
file(MAKE_DIRECTORY ${WORK})

function(expect status pattern)
  execute_process(COMMAND ${TESSARIN} codeplug ${ARGN}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL status)
    message(FATAL_ERROR "tessarin codeplug ${ARGN}: exit ${rc}, wanted ${status}\n${out}${err}")
  endif()
  if(NOT "${out}${err}" MATCHES "${pattern}")
    message(FATAL_ERROR "tessarin codeplug ${ARGN}: output lacks \"${pattern}\"\n${out}${err}")
  endif()
endfunction()

expect(0 "block 3 address 0x0240 size 21 flags 0xC4 lists 3 entries 2 entry size 3" blocks --image ${LAYOUTS}/adk.s19)
expect(0 "block 20 address 0x0400 size 475 class W" blocks --image ${LAYOUTS}/ride.s19 --type 2)
expect(0 "block 139 address 0x028B size 72" blocks --image ${LAYOUTS}/fixed-extended.s19 --type 3)
expect(0 "block 139 address 0x020B size 70" blocks --image ${LAYOUTS}/fixed-basic.s19 --type 3)
foreach(layout adk:1 ride:2 fixed-extended:3 fixed-basic:3)
  string(REPLACE ":" ";" parts ${layout})
  list(GET parts 0 name)
  list(GET parts 1 type)
  expect(0 ", 0 failed" check --image ${LAYOUTS}/${name}.s19 --type ${type})
endforeach()

expect(0 "field address 0x0251 length 2: 32 33"
       read-field --image ${LAYOUTS}/adk.s19 --block 3 --list 2 --entry 0 --offset 1 --length 2)
expect(0 "checksum address 0x0253: 9E"
       write-field --image ${LAYOUTS}/adk.s19 --block 3 --list 2 --entry 0 --offset 1 --bytes "10 20"
       --output ${WORK}/adk.s19)
expect(0 "field address 0x0251 length 2: 10 20"
       read-field --image ${WORK}/adk.s19 --block 3 --list 2 --entry 0 --offset 1 --length 2)
expect(0 ", 0 failed" check --image ${WORK}/adk.s19)

# Enciphered images: with the key (from a key file: never on the command line), and refused
# without it.
file(WRITE ${WORK}/layout.key "layout key\n")
expect(0 "bytes" build ${LAYOUTS}/ride.cpd --output ${WORK}/ride.bin --key-file ${WORK}/layout.key)
expect(0 "checksum address 0x05D9"
       write-field --image ${WORK}/ride.bin --key-file ${WORK}/layout.key --type 2 --block 20 --offset 7 --bytes AABBCC
       --output ${WORK}/ride2.bin)
expect(0 ", 0 failed" check --image ${WORK}/ride2.bin --key-file ${WORK}/layout.key --type 2)
expect(1 "give --key-file or --config-key" check --image ${WORK}/ride2.bin --type 2)

expect(2 "--key: a key on the command line is seen by every user"
       check --image ${WORK}/ride2.bin --key "layout key" --type 2)
expect(2 "--key: a key on the command line is seen by every user"
       build ${LAYOUTS}/ride.cpd --output ${WORK}/ride3.bin --key "layout key")

# Damage: one wrong checksum byte is named.
file(READ ${LAYOUTS}/fixed-basic.cpd basic)
file(WRITE ${WORK}/broken.cpd "${basic}\nsum 00\nchecksum 0x20B 0x250\n")
expect(0 "bytes" build ${WORK}/broken.cpd --output ${WORK}/broken.s19)
expect(1 "FAILED block 139" check --image ${WORK}/broken.s19 --type 3)

# Refusals and usage.
expect(1 "The requested list is out of range"
       write-field --image ${LAYOUTS}/adk.s19 --block 3 --list 1 --entry 0 --bytes 01 --output ${WORK}/no.s19)
if(EXISTS ${WORK}/no.s19)
  message(FATAL_ERROR "a refused write left a file")
endif()
expect(2 "--image FILE or --device" blocks)
# A length beyond any codeplug is refused before any memory is taken for it.
expect(2 "--length must be at most 65536" read-field --image ${LAYOUTS}/adk.s19 --block 3 --length 4294967295)
expect(2 "--output" write-field --image ${LAYOUTS}/adk.s19 --block 3 --bytes 01)
expect(2 "" blocks --image ${LAYOUTS}/adk.s19 --type 7)

# The demo kit's codeplug (another builder's image, with a header record) reads and checks.
expect(0 "block 0x8000 address 0x0020 size 67" blocks --image ${LAYOUTS}/../../sim/profiles/demo-radio-codeplug.s19)
expect(0 "sum to 0x00 .as most of them do.*, 0 failed" check --image ${LAYOUTS}/../../sim/profiles/demo-radio-codeplug.s19)
expect(1 "5 failed" check --image ${LAYOUTS}/../../sim/profiles/demo-radio-codeplug.s19 --sum 0x5A)

# An installed kit's image, deciphered with the key from the kit's own patcher.dat.
if(DEMO_KIT AND EXISTS ${DEMO_KIT}/cp_demo)
  expect(0 ", 0 failed" check --image ${DEMO_KIT}/cp_demo --config-key)
  expect(1 "not S-record text" check --image ${DEMO_KIT}/cp_demo)
endif()
