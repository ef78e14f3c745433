#!/usr/bin/perl
# Writes a .pdb with the reference writer Palm::PDB (Palm::Raw records):
#   pdb_make.pl FILE NAME CREATOR TYPE SEED RECORD...
# with each RECORD as ID:FLAGS:CATEGORY:HEX, FLAGS a comma list of deleted,
# dirty, busy, secret, archive (or "-"). Palm::PDB's writer keys on its older
# attribute names (expunged 0x80, deleted 0x20, private 0x10) when it decides
# between archive bit and category, so the flags are mapped onto those.
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

@ARGV >= 5 or die "usage: $0 FILE NAME CREATOR TYPE SEED RECORD...\n";
my ($file, $name, $creator, $type, $seed, @records) = @ARGV;
my %perl_name = (deleted => 'expunged', dirty => 'dirty', busy => 'deleted',
                 secret => 'private', archive => 'archive');

my $pdb = Palm::Raw->new({ name => $name, creator => $creator, type => $type,
                           uniqueIDseed => $seed });
for my $argument (@records) {
    my ($id, $flags, $category, $hex) = split /:/, $argument, 4;
    my %attributes;
    for my $flag (split /,/, $flags) {
        next if $flag eq '-';
        exists $perl_name{$flag} or die "unknown flag $flag\n";
        $attributes{$perl_name{$flag}} = 1;
    }
    push @{$pdb->{records}}, { id => $id, category => $category,
                               attributes => \%attributes, data => pack('H*', $hex) };
}
$pdb->Write($file) or die "cannot write $file\n";
