#!/usr/bin/env bash
# Disassembles each resampler path object and fails on an instruction above its level,
# or on a weak symbol (an inline function the linker might take from a wider path).
# Argument: the library's object files, separated by ';'.
set -u
IFS=';' read -r -a objects <<< "$1"

# Instruction families, by the level that first may use them (AT&T mnemonics).
sse3='addsubp[sd]|hadd[ps][sd]|hsub[ps][sd]|lddqu|movddup|movshdup|movsldup|fisttp[sl]?'
ssse3='pabs[bwd]|palignr|phaddw|phaddd|phaddsw|phsubw|phsubd|phsubsw|pmaddubsw|pmulhrsw|pshufb|psign[bwd]'
sse41='blendpd|blendps|blendvpd|blendvps|dppd|dpps|extractps|insertps|movntdqa|mpsadbw|packusdw|pblendvb|pblendw|pcmpeqq|pextr[bdq]|phminposuw|pinsr[bdq]|pmaxsb|pmaxsd|pmaxud|pmaxuw|pminsb|pminsd|pminud|pminuw|pmovsx[a-z]+|pmovzx[a-z]+|pmuldq|pmulld|ptest|roundpd|roundps|roundsd|roundss'
sse42='crc32[bwlq]?|pcmpestri|pcmpestrm|pcmpistri|pcmpistrm|pcmpgtq|popcnt[wlq]?'
avx2='vpbroadcast[bwdq]|vbroadcasti128|v[p]?gather[a-z]+|vinserti128|vextracti128|vperm2i128|vpermd|vpermq|vpermps|vpermpd|vpblendd|vpmaskmov[dq]|vpsllv[dq]|vpsrlv[dq]|vpsrav[dq]'
always='vfn?m(add|sub)[a-z0-9]+|andn[lq]?|bextr[lq]?|blsi[lq]?|blsmsk[lq]?|blsr[lq]?|bzhi[lq]?|pdep[lq]?|pext[lq]?|rorx[lq]?|sarx[lq]?|shlx[lq]?|shrx[lq]?|mulx[lq]?|tzcnt[wlq]?|lzcnt[wlq]?|kmov[bwdq]'

status=0
found=0
for obj in "${objects[@]}"; do
  name=$(basename "$obj")
  [[ $name =~ ^Path([0-4])\.cpp\.o(bj)?$ ]] || continue
  level=${BASH_REMATCH[1]}
  found=$((found + 1))
  forbidden=$always
  ((level < 1)) && forbidden+="|$sse3|$ssse3"
  ((level < 2)) && forbidden+="|$sse41"
  ((level < 3)) && forbidden+="|$sse42"
  ((level < 4)) && forbidden+="|$avx2"
  listing=$(objdump -d --no-show-raw-insn "$obj") || { echo "objdump failed on $obj"; exit 1; }
  body=$(grep -P '^\s+[0-9a-f]+:\t' <<< "$listing")
  bad=$(grep -E "	($forbidden)( |$)" <<< "$body")
  bad+=$(grep -E '%zmm|%k[0-7]' <<< "$body")
  if ((level < 3)); then
    bad+=$(grep -E '	v[a-z0-9]+ |%ymm' <<< "$body")
  elif ((level < 4)); then
    bad+=$(grep -E '	vp[a-z0-9]+ .*%ymm' <<< "$body" | grep -vE '	(vpermilp[sd]|vperm2f128|vptest) ')
  fi
  if [[ -n $bad ]]; then
    echo "Path$level: instructions above its level:"
    head -20 <<< "$bad"
    status=1
  fi
  # DW.ref.* are the exception personality's data references, not code.
  weak=$(nm -C "$obj" | grep -E ' [WVu] ' | grep -v ' DW\.ref\.')
  if [[ -n $weak ]]; then
    echo "Path$level: weak symbols:"
    echo "$weak"
    status=1
  fi
done
if ((found != 5)); then
  echo "expected 5 path objects, found $found"
  status=1
fi
((status == 0)) && echo "all five paths stay within their instruction sets"
exit $status
