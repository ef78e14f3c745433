#!/usr/bin/perl
# Prints a .pdb the way the reference reader Palm::PDB sees it:
#   name NAME / creator CCCC / type TTTT / records N
#   record id=ID flags=F,... category=C data=HEX   (one line per record)
# Flags use Palm::PDB's current attribute names (Delete 0x80, Dirty 0x40,
# Busy 0x20, Secret 0x10) plus its "archive"; "-" stands for none. The category
# is "-" where Palm::PDB gives none (deleted or busy records).
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

@ARGV == 1 or die "usage: $0 FILE.pdb\n";
my $pdb = Palm::PDB->new;
$pdb->Load($ARGV[0]) or die "cannot load $ARGV[0]\n";

print "name $pdb->{name}\n";
print "creator $pdb->{creator}\n";
print "type $pdb->{type}\n";
print "records ", scalar @{$pdb->{records}}, "\n";
for my $record (@{$pdb->{records}}) {
    my $a = $record->{attributes};
    my @flags = grep { $a->{$_} } qw(Delete Dirty Busy Secret archive);
    my $flags = @flags ? join(',', @flags) : '-';
    my $category = defined $record->{category} ? $record->{category} : '-';
    printf "record id=%d flags=%s category=%s data=%s\n",
        $record->{id}, $flags, $category, unpack('H*', $record->{data});
}
